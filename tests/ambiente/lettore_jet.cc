// Test programs live in the build tree, away from the programs: they read Access files with the
// reader built there (the engine looks for it beside the running program otherwise). A reader
// named in the environment already is kept.

#include <cstdlib>

namespace {

const bool kLettoreImpostato = [] {
  setenv("VENDRIX_LETTORE_JET", VENDRIX_LETTORE_JET_COSTRUITO, 0);
  return true;
}();

}  // namespace
