// sdl_message_box.h -- the message-box shower of a windowed program
#pragma once

#include <cstdint>
#include <string>

// Installed with SetMessageBoxShower by the windowed entry: shows a modal
// box with an OK button, owned by no window, and returns once it is
// dismissed; false when no desktop can show it (the text is on stderr anyway).
bool ShowSdlMessageBox(const std::string& text, const std::string& caption, uint32_t flags);
