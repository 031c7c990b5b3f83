// Resource strings of the window toolkit (identifiers 4950..4999): the texts it shows of
// its own, translated like every other resource string.
#pragma once

#include "core/resource_string.h"

namespace tarvo::ui {

TARVO_RESOURCESTRING(SMsgDlgYes, 4950, "&Yes");
TARVO_RESOURCESTRING(SMsgDlgNo, 4951, "&No");
TARVO_RESOURCESTRING(SMsgDlgOK, 4952, "OK");
TARVO_RESOURCESTRING(SMsgDlgCancel, 4953, "Cancel");
TARVO_RESOURCESTRING(SMsgDlgWarning, 4954, "Warning");
TARVO_RESOURCESTRING(SMsgDlgError, 4955, "Error");
TARVO_RESOURCESTRING(SMsgDlgInformation, 4956, "Information");
TARVO_RESOURCESTRING(SMsgDlgConfirm, 4957, "Confirm");
TARVO_RESOURCESTRING(SMsgDlgRetry, 4958, "&Retry");

// The context menu of every text field.
TARVO_RESOURCESTRING(SEditUndo, 4960, "Undo");
TARVO_RESOURCESTRING(SEditRedo, 4961, "Redo");
TARVO_RESOURCESTRING(SEditCut, 4962, "Cut");
TARVO_RESOURCESTRING(SEditCopy, 4963, "Copy");
TARVO_RESOURCESTRING(SEditPaste, 4964, "Paste");
TARVO_RESOURCESTRING(SEditDelete, 4965, "Delete");
TARVO_RESOURCESTRING(SEditSelectAll, 4966, "Select All");

// The folder browser.
TARVO_RESOURCESTRING(SBrowseFolderCaption, 4970, "Browse for Folder");
TARVO_RESOURCESTRING(SBrowseLookIn, 4971, "Look in:");
TARVO_RESOURCESTRING(SBrowseFolder, 4972, "Folder:");
TARVO_RESOURCESTRING(SBrowseChoose, 4973, "Choose");
TARVO_RESOURCESTRING(SBrowseButtonHint, 4974, "Browse");

// Drive names: "Local Disk (C:)".
TARVO_RESOURCESTRING(SLocalDisk, 4980, "Local Disk");

}  // namespace tarvo::ui
