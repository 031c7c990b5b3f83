// Resource strings of the translation service (identifiers 4000..4999).
#pragma once

#include "core/resource_string.h"

namespace tarvo::i18n {

TARVO_RESOURCESTRING(SNotValidMoFile, 4001, "This file is not a valid GNU gettext mo file: %s");
TARVO_RESOURCESTRING(SCannotOpenFile, 4002, "Cannot open file %s");
TARVO_RESOURCESTRING(SCannotCreateMemoryMap, 4003, "Cannot create memory map on file %s");
TARVO_RESOURCESTRING(SCannotMapFile, 4004, "Cannot map file %s into memory. Reason: %s");
TARVO_RESOURCESTRING(SLocalizationProblem, 4005, "Localization problem");
TARVO_RESOURCESTRING(SNoUtf8Charset, 4006,
                     "The translation for the language code %s (in %s) does not have charset=utf-8 in its "
                     "Content-Type. Translations are turned off.");
TARVO_RESOURCESTRING(SErrorCaption, 4007, "Error");
TARVO_RESOURCESTRING(SSwitchedIncorrectly, 4008,
                     "The language was switched in an incorrect way: this component has already been "
                     "translated. Call RetranslateComponent() instead of TranslateComponent() after "
                     "changing the language.");
TARVO_RESOURCESTRING(SPropertyNotTranslated, 4009,
                     "Property cannot be translated.\r\nAdd GlobalIgnoreClassProperty(%s,'%s') to your source "
                     "code or use\r\nIgnoreProperty (self,'.%s') to prevent this message.\r\nReason: %s");
TARVO_RESOURCESTRING(SRetranslateNotTranslated, 4010,
                     "Retranslate was called on an object that has not been translated before. Please use "
                     "TranslateComponent() before RetranslateComponent().");
TARVO_RESOURCESTRING(SClassAlreadyIgnored, 4011,
                     "You cannot add a class to the ignore list that is already on that list: %s. You should "
                     "keep all GlobalIgnore functions in one place in your source code.");
TARVO_RESOURCESTRING(SIgnoreWithHandler, 4012,
                     "You cannot ignore a class property for a class that has a handler set.");

}  // namespace tarvo::i18n
