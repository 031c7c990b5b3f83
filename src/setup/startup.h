// What the program registers with the translation service before the window exists: the
// properties and classes whose texts are never translated.
#pragma once

namespace tarvo::setup {

// Action categories, help keywords, notebook page names, input method names, fonts and
// the HTTP client's request.
void RegisterTranslationExclusions();

}  // namespace tarvo::setup
