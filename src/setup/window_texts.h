// Every text of the wizard window, Dutch, in one list: the window sets its captions from
// it, and the catalog test checks each one has its French translation. Entries with a
// component name are that component's caption; the others are messages the wizard builds.
#pragma once

#include <span>
#include <string_view>

namespace tarvo::setup {

struct TWindowText {
  const char* Component;  // empty for a message text
  const char* Text;
};

std::span<const TWindowText> WindowTexts();

// The Dutch caption of the named component, for showing a page's texts without the window
// (the silent mode). Throws std::logic_error for a name the list does not hold.
const char* WindowText(std::string_view component);

}  // namespace tarvo::setup
