#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/json/Json.hpp"
#include "platform/net/Request.hpp"
#include "ovix/OvixInfeed.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/OvixRequest.hpp"

namespace ovix {

// Carries out one ad load: validates the request, posts it as JSON, decodes
// the answer, parses it into the shared inventory and tells the delegate.
// Lives as long as the work it has scheduled; prints "<source path> deinit"
// when destroyed, whether or not logging is on.
class OvixClient : public std::enable_shared_from_this<OvixClient> {
 public:
  // The decoded answer or the error that ended the transfer.
  using Callback = std::function<void(std::optional<json::Value>, std::optional<Error>)>;

  OvixClient();
  ~OvixClient();
  OvixClient(const OvixClient&) = delete;
  OvixClient& operator=(const OvixClient&) = delete;

  // Starts the load on the calling thread; failures found before sending
  // reach the delegate before this returns.
  void request(const OvixRequest& request, std::weak_ptr<OvixInfeed> delegate);

 private:
  void request(const OvixRequest& request, Callback callback);
  // The request, or why it was not made (reported to the delegate when the
  // body could not be written).
  Result<net::Request> makeURLRequest(const std::string& url, const OvixRequest& model);
  Result<std::string> makePostData(const OvixRequest& model);
  void update(std::optional<json::Value> answer, std::optional<Error> error);
  void failed(const std::string& message, const std::optional<Error>& error);

  OvixManager& manager_;
  std::weak_ptr<OvixInfeed> ovixInfeed_;
};

}  // namespace ovix
