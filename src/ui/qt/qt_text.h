// Text crosses into Qt here: UTF-8 std::string outside, QString inside.
#pragma once

#include <string>

#include <QString>
#include <QStringList>

namespace tarvo::ui {

inline QString ToQ(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string FromQ(const QString& s) { return s.toUtf8().toStdString(); }

// The font families to ask for, best first: the window definition's family, then look-alikes
// that Linux desktops carry.
QStringList UiFontFamilies(const std::string& name);

}  // namespace tarvo::ui
