// The handler std::terminate calls, in place of libstdc++'s default one. The default prints the
// type of the exception that ended the program to standard error, which this GUI program does not
// have, and then aborts; printing the type needs libstdc++'s demangler, which alone was about a
// sixth of the program's size. This one only aborts, as the default does after printing.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
