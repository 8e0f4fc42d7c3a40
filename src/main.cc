#include <new>

#include "cli/run_cli.h"
#include "platform/platform.h"
#include "report/failure.h"

int main(int argc, char** argv) {
  vtm::platform::set_main_arguments(argc, argv);
  // The one catch: an allocation failure inside the standard library still ends in the
  // ordinary envelope instead of std::terminate.
  try {
    return vtm::run_cli();
  } catch (const std::bad_alloc&) {
    return vtm::report_failure("out of memory");
  } catch (...) {
    return vtm::report_failure("internal error");
  }
}
