// Controls that lie wholly under a sibling (Finish under Next) are not there for the user:
// they take no focus, no key and no default role. Qt knows nothing of this, so the backend
// keeps the focus policies in step with the z-order.
#pragma once

class QWidget;

namespace tarvo::ui {

// Whether a visible sibling above w in the z-order covers w's whole rectangle.
bool IsCovered(const QWidget* w);
// Whether keys may reach w: shown on screen (with its ancestors), enabled, not covered.
bool TakesInput(const QWidget* w);
// Brings the children of parent in step with their z-order: a covered child takes no focus
// (and gives it up when it has it), an uncovered one gets its own policy back; a default
// push button is drawn as default only while uncovered.
void RefreshCovered(QWidget* parent);

}  // namespace tarvo::ui
