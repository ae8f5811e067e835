// The events the window system delivers to the main window's handlers.
#pragma once

#include <cstdint>

namespace pruvolt {

class FormEvents {
public:
    virtual ~FormEvents() = default;
    // Once, while the window is being loaded at program start, before it is first shown.
    virtual void Form_Load() = 0;
    // A click on an item of the button array: 0 the install button, 2 the exit button.
    virtual void cmdInstall_Click(std::int16_t Index) = 0;
    virtual void tmrEvents_Timer() = 0;
    virtual void tmrEnd_Timer() = 0;
};

}  // namespace pruvolt
