// One GET answered with credentials in-process, against a real peer whose guarded pages
// read "granted\n".
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "http/http_client.h"
#include "http/http_exception.h"

namespace tarvo::http::testing {

// True when the peer granted the page; a refusal must be the peer's 401 after one answer
// and one refusal.
inline bool GetGranted(TNetHTTP& http, const std::string& url, const std::string& user, const std::string& password) {
  http.SetHTTPOptions(http.HTTPOptions() | hoInProcessAuth);
  http.Request().SetUsername(user);
  http.Request().SetPassword(password);
  try {
    EXPECT_EQ(http.Get(url), "granted\n");
    return true;
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(e.ErrorCode(), 401);
    EXPECT_EQ(e.Message(), "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(http.AuthRetries(), 2);  // one answer, one refusal
    return false;
  }
}

}  // namespace tarvo::http::testing
