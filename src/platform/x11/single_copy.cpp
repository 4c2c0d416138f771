// One running copy per display. The window searches by title can both pass
// when two copies start at the same moment; owning an X selection cannot:
// the check and the claim happen under a server grab, so no other client's
// request comes between them.
#include "platform/x11/x11_state.h"

namespace vs {

namespace {

constexpr const char* kSelection = "_VARNOSCAPE_RUNNING";

}  // namespace

bool X11Platform::claim_single_copy() {
  if (!x_->connected()) return false;
  if (x_->claim) return true;
  x11::Connection& c = x_->connection;
  Display* d = c.display;
  const Atom selection = XInternAtom(d, kSelection, False);
  // The owner: a window of ours that is never shown. The selection goes
  // when it does, with the process.
  XSetWindowAttributes a{};
  a.override_redirect = True;
  const Window owner = XCreateWindow(d, c.root, -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent,
                                     CWOverrideRedirect, &a);
  XGrabServer(d);
  const bool free = XGetSelectionOwner(d, selection) == None;
  if (free) XSetSelectionOwner(d, selection, owner, CurrentTime);
  XUngrabServer(d);
  const bool ours = free && XGetSelectionOwner(d, selection) == owner;
  if (!ours) {
    XDestroyWindow(d, owner);
    XFlush(d);
    return false;
  }
  x_->claim = owner;
  return true;
}

}  // namespace vs
