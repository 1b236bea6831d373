// The C++ runtime's default terminate handler prints the pending exception's demangled type to
// standard error, which a GUI program does not have; it brings the demangler and a printf
// along, about a third of the program's size. Ending the process is all it could do here.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
