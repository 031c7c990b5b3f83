#include "ui/qt/line_edit.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>

#include "core/resource_string.h"
#include "ui/qt/qt_text.h"
#include "ui/ui_strings.h"

namespace tarvo::ui {

namespace {
QString Text(const core::TResourceString& rs, QKeySequence::StandardKey key) {
  const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
  return ToQ(core::LoadResString(rs)) + (shortcut.isEmpty() ? QString() : "\t" + shortcut);
}
}  // namespace

QMenu* TLineEdit::CreateContextMenu() {
  auto* menu = new QMenu(this);
  const bool writable = !isReadOnly();
  const bool selected = hasSelectedText();
  auto add = [&](const core::TResourceString& rs, QKeySequence::StandardKey key, bool enabled, auto slot) {
    QAction* action = menu->addAction(Text(rs, key), this, slot);
    action->setEnabled(enabled);
  };
  add(SEditUndo, QKeySequence::Undo, writable && isUndoAvailable(), &QLineEdit::undo);
  add(SEditRedo, QKeySequence::Redo, writable && isRedoAvailable(), &QLineEdit::redo);
  menu->addSeparator();
  const bool clipboardHasText = !QGuiApplication::clipboard()->text().isEmpty();
  add(SEditCut, QKeySequence::Cut, writable && selected && echoMode() == Normal, &QLineEdit::cut);
  add(SEditCopy, QKeySequence::Copy, selected && echoMode() == Normal, &QLineEdit::copy);
  add(SEditPaste, QKeySequence::Paste, writable && clipboardHasText, &QLineEdit::paste);
  add(SEditDelete, QKeySequence::Delete, writable && selected, &QLineEdit::del);
  menu->addSeparator();
  add(SEditSelectAll, QKeySequence::SelectAll, !text().isEmpty() && selectedText() != text(), &QLineEdit::selectAll);
  return menu;
}

void TLineEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

}  // namespace tarvo::ui
