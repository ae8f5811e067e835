// Where a run with a switch writes its lines, chosen from what its standard output is.
#pragma once

namespace pruvolt {

// What the process's standard output handle is; Missing when there is none (a program started
// from Explorer, or from a console without redirection: a GUI program gets no console handles).
enum class StandardOutputKind { Missing, Disk, Pipe, Console, OtherDevice, Unknown };

enum class OutputChoice {
    StandardOutput,   // a file or a pipe that the caller redirected: bytes, in UTF-8
    StandardConsole,  // a console handed over as standard output: UTF-16
    Nowhere,          // a device the caller chose (NUL): the lines are dropped, as asked
    ParentConsole,    // the console of the program that started this one, if it has one
};

constexpr OutputChoice ChooseOutput(StandardOutputKind kind) {
    switch (kind) {
    case StandardOutputKind::Disk:
    case StandardOutputKind::Pipe:
        return OutputChoice::StandardOutput;
    case StandardOutputKind::Console:
        return OutputChoice::StandardConsole;
    case StandardOutputKind::OtherDevice:
        return OutputChoice::Nowhere;
    case StandardOutputKind::Missing:
    case StandardOutputKind::Unknown:
        break;
    }
    return OutputChoice::ParentConsole;
}

}  // namespace pruvolt
