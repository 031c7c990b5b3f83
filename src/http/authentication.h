// The seam for authentication schemes: an object that produces the value of an
// "Authorization" (or "Proxy-Authorization") header for the request being written. The
// schemes that answer challenges build on this base; Basic is here because a request can
// ask for it up front.
#pragma once

#include <string>

namespace tarvo::http {

class TNetAuthentication {
public:
  virtual ~TNetAuthentication() = default;
  virtual void Reset() { FCurrentStep = 0; }
  // Told the method and request target before each request is written (Digest needs them).
  virtual void SetRequest(const std::string& /*method*/, const std::string& /*uri*/) {}
  // The header value for the request being written.
  virtual std::string Authentication() = 0;
  virtual bool KeepAlive() const { return false; }
  virtual int Steps() const { return 0; }
  int CurrentStep() const { return FCurrentStep; }

  const std::string& Username() const { return FUsername; }
  void SetUsername(std::string v) { FUsername = std::move(v); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string v) { FPassword = std::move(v); }

protected:
  int FCurrentStep = 0;
  std::string FUsername;
  std::string FPassword;
};

// "Basic " + Base64 of user:password (ASCII).
class TNetBasicAuthentication : public TNetAuthentication {
public:
  std::string Authentication() override;
  int Steps() const override { return 1; }
};

std::string EncodeBase64(const std::string& bytes);

}  // namespace tarvo::http
