#include "core/string_list.h"

#include "core/component_strings.h"
#include "core/format.h"

namespace tarvo::core {

const TClassInfo& TStrings::StaticClassInfo() noexcept {
  static const TClassInfo info{"TStrings", &ClassInfoOf<TPersistent>(), {}};
  return info;
}

const TClassInfo& TStringList::StaticClassInfo() noexcept {
  static const TClassInfo info{"TStringList", &ClassInfoOf<TStrings>(), {}};
  return info;
}

void TStrings::IndexError(int index) const {
  throw EStringListError(Format(LoadResString(SListIndexError), {std::to_string(index)}));
}

void TStrings::Put(int index, const std::string& s) {
  TUpdateScope update(*this);
  Delete(index);
  Insert(index, s);
  update.End();
}

int TStrings::Add(const std::string& s) {
  const int index = Count();
  Insert(index, s);
  return index;
}

void TStrings::AddStrings(const TStrings& other) {
  TUpdateScope update(*this);
  for (int i = 0, n = other.Count(); i < n; ++i) Add(other.Get(i));
  update.End();
}

int TStrings::IndexOf(std::string_view s) const {
  for (int i = 0, n = Count(); i < n; ++i)
    if (Get(i) == s) return i;
  return -1;
}

std::string TStrings::Text() const {
  std::string text;
  for (int i = 0, n = Count(); i < n; ++i) {
    text += Get(i);
    text += LineBreak;
  }
  return text;
}

void TStrings::SetText(std::string_view text) {
  TUpdateScope update(*this);
  Clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      Add(std::string(text.substr(start)));
      break;
    }
    Add(std::string(text.substr(start, end - start)));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  update.End();
}

void TStrings::BeginUpdate() {
  if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::Assign(const TPersistent& source) {
  if (auto* other = dynamic_cast<const TStrings*>(&source)) {
    if (other == this) return;
    TUpdateScope update(*this);
    Clear();
    AddStrings(*other);
    update.End();
    return;
  }
  TPersistent::Assign(source);
}

std::string TStringList::Get(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return FList[static_cast<std::size_t>(index)];
}

void TStringList::Put(int index, const std::string& s) {
  if (index < 0 || index >= Count()) IndexError(index);
  FList[static_cast<std::size_t>(index)] = s;
  Changed();
}

void TStringList::Insert(int index, const std::string& s) {
  if (index < 0 || index > Count()) IndexError(index);
  FList.insert(FList.begin() + index, s);
  Changed();
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) IndexError(index);
  FList.erase(FList.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (FList.empty()) return;
  FList.clear();
  Changed();
}

void TStringList::SetUpdateState(bool updating) {
  if (!updating && FChangedInUpdate) {
    FChangedInUpdate = false;
    if (OnChange) OnChange(this);
  }
}

void TStringList::Changed() {
  if (UpdateCount() > 0) {
    FChangedInUpdate = true;
    return;
  }
  if (OnChange) OnChange(this);
}

}  // namespace tarvo::core
