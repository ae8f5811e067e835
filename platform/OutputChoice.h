// Where a run with a switch writes its lines, chosen from what its standard output is.
#pragma once

namespace pruvolt {

// What GetFileType says of the process's standard output handle; Missing when there is none.
enum class StandardOutputKind { Missing, Disk, Pipe, Character, Unknown };

enum class OutputChoice {
    StandardOutput,  // a file or a pipe that the caller redirected: bytes, in UTF-8
    ParentConsole,   // the console of the program that started this one, if it has one
};

constexpr OutputChoice ChooseOutput(StandardOutputKind kind) {
    return kind == StandardOutputKind::Disk || kind == StandardOutputKind::Pipe
               ? OutputChoice::StandardOutput
               : OutputChoice::ParentConsole;
}

}  // namespace pruvolt
