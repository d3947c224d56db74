#pragma once

namespace platform {

// What a console event does to a copy.
enum class ConsoleEventEffect {
  kNotOurs,  // the next handler, or Windows, deals with it
  kIgnored,  // the copy goes on
  kStops,    // the copy stops, once it has tidied up
};

// station_visible answers whether a person sees the process's window station;
// it is asked only where the answer matters.
ConsoleEventEffect EffectOf(unsigned long event, bool (*station_visible)());

}  // namespace platform
