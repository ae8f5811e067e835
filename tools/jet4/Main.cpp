// jet4: writes a Jet 4 database holding the sample table testdata, or the tables of a
// description file (see Description.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>

#include "Description.h"
#include "Writer.h"

namespace {

namespace fs = std::filesystem;
using namespace pruvolt::jet4;

constexpr const char* kUsage =
    "usage: jet4 [--table DESCRIPTION] OUTPUT.mdb\n"
    "Writes a Jet 4 database. Without --table it holds the sample table testdata.\n";

// What the operating system said about the last failed call.
std::string Reason() {
    return std::generic_category().message(errno);
}

// Writes beside the target and renames, so a failed run leaves no half-written database. The
// temporary file gets a name of its own, created exclusively (never a file or link already there,
// never another run's), and short: any name the target may have fits beside it.
void WriteFileAtomically(const fs::path& target, const Bytes& bytes) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temporary = (folder / ".jet4-XXXXXX").string();
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        throw WriteError("cannot create a temporary file in " + folder.string() + ": " + Reason());
    }
    // Every failure from here on leaves nothing behind: the file is closed, if it still is open,
    // and removed.
    const auto fail = [&](const std::string& what) {
        const std::string reason = Reason();
        if (fd >= 0) ::close(fd);
        ::unlink(temporary.c_str());
        throw WriteError(what + ": " + reason);
    };
    // mkstemp creates it for its owner alone; the database gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0) fail("cannot set the permissions of " + temporary);
    for (std::size_t written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot write " + temporary);
        }
        written += static_cast<std::size_t>(n);
    }
    const int closed = ::close(std::exchange(fd, -1));
    if (closed != 0) fail("cannot write " + temporary);
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        fail("cannot rename " + temporary + " to " + target.string());
    }
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw WriteError("cannot read " + path.string() + ": " + Reason());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
    fs::path description;
    fs::path output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--table" && i + 1 < argc) {
            description = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && output.empty()) {
            output = arg;
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    if (output.empty()) {
        std::cerr << kUsage;
        return 2;
    }

    try {
        const std::string text =
            description.empty() ? std::string(kSampleDescription) : ReadFile(description);
        std::vector<Table> tables;
        try {
            tables = ParseDescription(text);
        } catch (const WriteError& e) {
            const std::string source =
                description.empty() ? "the sample table" : description.string();
            throw WriteError(source + ", " + e.what());
        }
        WriteFileAtomically(output, WriteDatabase(tables));
    } catch (const WriteError& e) {
        std::cerr << "jet4: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "jet4: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
