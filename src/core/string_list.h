// String lists: TStrings is the abstract list of text lines that controls publish (a
// list box's items, a memo's lines); TStringList keeps its lines in memory.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "core/scope_guard.h"
#include "core/persistent.h"

namespace tarvo::core {

// An index outside 0..Count-1.
class EStringListError : public Exception {
public:
  using Exception::Exception;
};

class TStrings : public TPersistent {
  TARVO_PERSISTENT_CLASS(TStrings)
public:
  // Separates lines in Text(); SetText also accepts CR LF and a lone CR.
  static constexpr std::string_view LineBreak = "\n";

  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  virtual void Put(int index, const std::string& s);
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  std::string Strings(int index) const { return Get(index); }
  int Add(const std::string& s);
  void AddStrings(const TStrings& other);
  int IndexOf(std::string_view s) const;

  // All lines, each followed by LineBreak.
  std::string Text() const;
  void SetText(std::string_view text);

  // Brackets a batch of changes: listeners hear of the change once, at the outer end.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const noexcept { return FUpdateCount; }

  void Assign(const TPersistent& source) override;

protected:
  virtual void SetUpdateState(bool /*updating*/) {}
  [[noreturn]] void IndexError(int index) const;

private:
  int FUpdateCount = 0;
};

// BeginUpdate now, EndUpdate however the block is left. End() closes the batch on the
// normal path, so a listener's failure reaches the caller; leaving by an exception closes
// it too and keeps that first exception.
class TUpdateScope {
public:
  explicit TUpdateScope(TStrings& strings) : FGuard(TEnd{&strings}) { strings.BeginUpdate(); }
  void End() { FGuard.Run(); }

private:
  struct TEnd {
    TStrings* FStrings;
    void operator()() const { FStrings->EndUpdate(); }
  };
  TScopeGuard<TEnd> FGuard;
};

class TStringList : public TStrings {
  TARVO_PERSISTENT_CLASS(TStringList)
public:
  TStringList() = default;
  explicit TStringList(std::vector<std::string> lines) : FList(std::move(lines)) {}

  int Count() const override { return static_cast<int>(FList.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string& s) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;

  // Told after every change made outside an update bracket, and once at its end.
  std::function<void(TStringList*)> OnChange;

protected:
  void SetUpdateState(bool updating) override;

private:
  void Changed();
  std::vector<std::string> FList;
  bool FChangedInUpdate = false;
};

}  // namespace tarvo::core
