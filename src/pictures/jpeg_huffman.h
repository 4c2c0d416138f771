// The Huffman-coded data of a JPEG scan, followed as libjpeg's decoder reads
// it, without decoding the picture: to find where data that was cut short
// ends (jpeg_structure.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vs {

struct JpegHuffmanTable {
  bool defined = false;
  std::array<int, 17> counts{};  // codes of each length 1..16
  std::vector<uint8_t> values;
  // Decoding, per length: the first code, the last (-1: none), and where
  // its values start.
  std::array<int32_t, 18> first{}, last{}, start{};

  // libjpeg's own check of a table (at the start of a scan that uses it),
  // which also prepares it for decoding.
  bool prepare(bool dc);
};

struct JpegScanCoding {
  // The tables of each block of an MCU, in order.
  struct Block {
    const JpegHuffmanTable* dc;
    const JpegHuffmanTable* ac;
  };
  std::vector<Block> blocks;
  int64_t mcus = 0;  // in the scan
  int restart_interval = 0;
};

// The MCU during which the data from `at` on runs out, or -1 when it does
// not: every MCU is whole, or a marker ends the data first (libjpeg then
// reads zeros, not the end of the file).
int64_t jpeg_mcu_at_end(const unsigned char* p, size_t size, size_t at,
                        const JpegScanCoding& coding);

}  // namespace vs
