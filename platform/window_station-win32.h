#pragma once

namespace platform {

// Whether the process's window station is one a person sees: not so for a
// scheduled task run whether or not anyone is logged on, nor for a service.
// There a message window would wait for ever, unseen, and a key never comes.
// Asked only when it matters: user32 is loaded for the question.
bool WindowStationVisible();

}  // namespace platform
