#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ovix/OvixInfeed.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/OvixRequest.hpp"
#include "ovix/PrivacySignals.hpp"
#include "ovix/platform/Dispatch.hpp"
#include "platform/clock/Clock.hpp"
#include "platform/json/Json.hpp"
#include "platform/net/Request.hpp"

namespace ovix {

// Carries out one ad load: validates the request, posts it as JSON, decodes
// the answer, parses it into the shared inventory and tells the delegate.
// The answer is decoded, parsed and added on a worker; only a failure goes
// back to the queue current when the load started.
// Lives as long as the work it has scheduled; prints "<source path> deinit"
// when destroyed, whether or not logging is on.
class OvixClient : public std::enable_shared_from_this<OvixClient> {
 public:
  // Sends `privacy`, the host's signals as they were when the load started.
  explicit OvixClient(PrivacySignals privacy = {});
  ~OvixClient();
  OvixClient(const OvixClient&) = delete;
  OvixClient& operator=(const OvixClient&) = delete;

  // Starts the load on the calling thread; failures found before sending
  // reach the delegate before this returns.
  void request(const OvixRequest& request, std::weak_ptr<OvixInfeed> delegate);

 private:
  // Sends the request; the outcome reaches update() on a worker, or on
  // `failures` (the worker's when null) when the load failed.
  void send(const OvixRequest& request, std::shared_ptr<dispatch::Queue> failures);
  // The request, or why it was not made (reported to the delegate when the
  // body could not be written).
  Result<net::Request> makeURLRequest(const std::string& url, const OvixRequest& model);
  Result<std::string> makePostData(const OvixRequest& model);
  // `arrived`: when the answer did, from which its ads' lifetime counts.
  void update(std::optional<json::Value> answer, std::optional<Error> error,
              clock::TimePoint arrived);
  // Runs update() for a failure on `failures`, or here when null.
  void fail(const std::shared_ptr<dispatch::Queue>& failures, std::optional<Error> error);
  void failed(const std::string& message, const std::optional<Error>& error);

  OvixManager& manager_;
  const PrivacySignals privacy_;
  std::weak_ptr<OvixInfeed> ovixInfeed_;
};

}  // namespace ovix
