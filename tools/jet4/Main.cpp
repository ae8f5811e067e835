// jet4: writes a Jet 4 database holding the sample table testdata, or the tables of a
// description file (see Description.h).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>

#include "Description.h"
#include "Writer.h"

namespace {

namespace fs = std::filesystem;
using namespace pruvolt::jet4;

constexpr const char* kUsage =
    "usage: jet4 [--table DESCRIPTION] OUTPUT.mdb\n"
    "Writes a Jet 4 database. Without --table it holds the sample table testdata.\n";

// Writes beside the target and renames, so a failed run leaves no half-written database.
void WriteFileAtomically(const fs::path& target, const Bytes& bytes) {
    fs::path temporary = target;
    temporary += ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw WriteError("cannot write " + temporary.string());
        }
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw WriteError("cannot rename " + temporary.string() + " to " + target.string() + ": " +
                         error.message());
    }
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw WriteError("cannot read " + path.string());
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
