// The functions through which libstdc++'s inline code raises its own errors (a string or vector
// asked to grow past its limit, an index out of range), in place of the library's. The library
// defines them all in one object that builds each error's message in a string of the old
// reference-counted kind, and so brings that whole string implementation, a second one, along with
// its own error classes: over a third of the program. Nothing here reads those messages: whatever
// a handler lets through is reported by number (the window procedure's boundary), and these errors
// reach it, as before, as "unexpected". Out of memory stays std::bad_alloc, which is reported as
// such. Should code be linked in that raises the library's other errors (iostreams, locales), the
// linker reports these functions as defined twice: that code would cost more than this saves.
#include <new>

namespace pruvolt::win32 {
namespace {

// What a broken limit of the standard library raises: nothing catches it by name.
struct LibraryLimitError {};

}  // namespace
}  // namespace pruvolt::win32

namespace std {

void __throw_bad_alloc() {
    throw bad_alloc();
}

void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}

void __throw_length_error(const char*) {
    throw pruvolt::win32::LibraryLimitError{};
}

void __throw_logic_error(const char*) {
    throw pruvolt::win32::LibraryLimitError{};
}

void __throw_out_of_range_fmt(const char*, ...) {
    throw pruvolt::win32::LibraryLimitError{};
}

}  // namespace std
