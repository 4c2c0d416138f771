// The records of a Windows metafile, checked by our own reader before a
// system's player is given them: GDI plays them in the saver's own process
// and takes their counts and object numbers as they come.
#pragma once

#include <string>
#include <string_view>

namespace vs {

// The metafile as a player may be given it: its header and its records up
// to the end record, the header's size word set to exactly that. Every
// record lies within the file and within the header's largest record size,
// holds the parameters, points, text or bitmap it claims, and names only
// objects of the header's table. Returns the reason when not, in libwmf's
// terms as the Linux edition gives them ("truncated metafile", "corrupt
// metafile (libwmf error 3)"), or "".
std::string checked_wmf_records(std::string_view bytes, std::string& records);

}  // namespace vs
