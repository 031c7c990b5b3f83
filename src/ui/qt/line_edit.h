// The line edit behind every text field: Qt's, with a context menu whose texts come from
// the program's translation instead of Qt's own catalogs.
#pragma once

#include <QLineEdit>

class QMenu;

namespace tarvo::ui {

class TLineEdit : public QLineEdit {
public:
  using QLineEdit::QLineEdit;
  // The menu the right mouse button opens; the caller owns it.
  QMenu* CreateContextMenu();

protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace tarvo::ui
