// TNetCookies: the cookie store. It owns its cookies and guards them with a many-readers /
// one-writer lock, because one manager may serve several clients: matching reads, adding,
// replacing and purging write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "http/cookie.h"
#include "http/http_limits.h"

namespace tarvo::http {

enum TNetCookieAccess { caRead, caReadWrite };
using TNetCookieList = std::vector<std::unique_ptr<TNetCookie>>;

class TNetCookies {
public:
  using TClock = std::function<TNetDateTime()>;

  TNetCookies();
  ~TNetCookies();

  // The list under the lock of the given kind; every call pairs with UnlockCookieList of
  // the same kind.
  TNetCookieList& LockCookieList(TNetCookieAccess access);
  void UnlockCookieList(TNetCookieAccess access);

  std::size_t Count();
  // Stores the cookie, replacing one of the same name, domain and path (any case) unless
  // the request's scheme is not http/https and the stored one is HttpOnly. The new cookie
  // keeps the replaced one's CreatedAt. An expired cookie is not stored (it only deletes).
  // True when stored.
  bool AddCookie(std::unique_ptr<TNetCookie> cookie, const TNetURI& uri, bool replaceOld = true);
  // Parses a "Set-Cookie" value against the responding URI and adds it; true when stored.
  bool AddServerCookie(std::string_view text, const TNetURI& uri);
  void AddServerCookies(const std::vector<std::string>& texts, const TNetURI& uri);
  // Server side: "name=value" pairs of a "Cookie" header, separated by ";".
  void AddClientCookie(std::string_view pair);
  void AddClientCookies(std::string_view header);
  // Copies of every cookie of another store.
  void AddCookies(TNetCookies& source);

  // Index of the first cookie at or after firstIndex with the name (and domain), or -1.
  long GetCookieIndex(std::string_view name, std::size_t firstIndex = 0);
  long GetCookieIndex(std::string_view name, std::string_view domain, std::size_t firstIndex = 0);
  // The cookie of that name and domain (any case), or nullptr; valid until the next change.
  TNetCookie* GetCookieByNameAndDomain(std::string_view name, std::string_view domain);
  void Clear();

  // Removes every expired cookie; returns how many went.
  std::size_t PurgeExpired();
  // "name=value; ..." of every cookie allowed for the target, longest path first (the
  // earlier created first among equal lengths); their LastAccessed becomes now. Cookies
  // whose text could break a request line are never picked. Empty when none matches.
  std::string ClientCookieHeader(const TNetURI& target, bool secureOnly);

  // Where "now" comes from (tests move it).
  void SetClock(TClock clock) { FClock = std::move(clock); }
  TNetDateTime Now() const { return FClock ? FClock() : NetNow(); }

private:
  bool StoreLocked(std::unique_ptr<TNetCookie> cookie, const TNetURI& uri, bool replaceOld);

  std::shared_mutex FLock;
  TNetCookieList FCookies;
  std::uint64_t FNextIndex = 0;
  TClock FClock;
};

// RAII pairing of LockCookieList / UnlockCookieList.
class TNetCookieListLock {
public:
  TNetCookieListLock(TNetCookies& cookies, TNetCookieAccess access)
      : FCookies(cookies), FAccess(access), FList(cookies.LockCookieList(access)) {}
  ~TNetCookieListLock() { FCookies.UnlockCookieList(FAccess); }
  TNetCookieListLock(const TNetCookieListLock&) = delete;
  TNetCookieListLock& operator=(const TNetCookieListLock&) = delete;
  TNetCookieList& List() { return FList; }

private:
  TNetCookies& FCookies;
  TNetCookieAccess FAccess;
  TNetCookieList& FList;
};

}  // namespace tarvo::http
