#include "ovix/OvixClient.hpp"

#include <simdjson.h>

#include "Limits.hpp"
#include "ovix/OvixJsonParser.hpp"
#include "ovix/RequestBody.hpp"
#include "ovix/common/Log.hpp"
#include "ovix/model/OvixAds.hpp"
#include "ovix/platform/Dispatch.hpp"
#include "platform/console/Console.hpp"
#include "platform/net/Fetch.hpp"

namespace ovix {
namespace {

// Lets go of the host's delegate on the main thread, where the host's
// objects (a feed controller and its views) expect to die, should this be
// the last reference.
void releaseOnMainThread(std::shared_ptr<OvixInfeed> delegate) {
  if (dispatch::isMainThread()) return;
  dispatch::mainQueue().async([delegate = std::move(delegate)] {});
}

// The text of `data` when it is valid UTF-8.
std::optional<std::string_view> utf8Text(std::string_view data) {
  if (!simdjson::validate_utf8(data.data(), data.size())) return std::nullopt;
  return data;
}

}  // namespace

OvixClient::OvixClient(PrivacySignals privacy)
    : manager_(OvixManager::shared()), privacy_(std::move(privacy)) {}

OvixClient::~OvixClient() {
  console::writeLine(std::string(__FILE__) + " deinit");
}

void OvixClient::request(const OvixRequest& request, std::weak_ptr<OvixInfeed> delegate) {
  ULog("request(by:delegate:)", "START");
  ovixInfeed_ = std::move(delegate);
  send(request, dispatch::currentQueue());
}

void OvixClient::send(const OvixRequest& model, std::shared_ptr<dispatch::Queue> failures) {
  ULog("_request(by:callback:)", "START");
  if (!model.validateRequired()) {
    failed("request.validateRequired() = false", std::nullopt);
    return;
  }
  auto urlRequest = makeURLRequest(manager_.urlString(), model);
  if (!urlRequest) return;

  net::Configuration configuration;
  configuration.timeoutIntervalForResource = limits::kAnswerTimeout;
  configuration.timeoutIntervalForRequest = model.timeout();
  configuration.maximumBodySize = limits::kMaximumAnswerBytes;
  // Each load opens a connection of its own and closes it after.
  configuration.reusesConnections = false;
  ULog("_request(by:callback:)", "dataTaskWithRequest");
  // The reply holds this client until the outcome. It runs on a worker, so
  // that a successful answer never waits for the main queue.
  net::fetch(
      std::move(*urlRequest), configuration,
      [self = shared_from_this(), failures = std::move(failures)](
          std::optional<std::string> data, std::optional<HttpResponse> response,
          std::optional<Error> error) {
        const clock::TimePoint arrived = clock::now();
        ULogPrints(response);
        if (error) {
          ULog("_request(by:callback:)", "Error at the time of the ad request.");
          self->fail(failures, std::move(error));
          return;
        }
        if (!data) {
          self->fail(failures, std::nullopt);
          return;
        }
        ULogPrints(utf8Text(*data));
        auto decoded = json::decode(*data);
        if (!decoded) {
          ULog("_request(by:callback:)", "Exception: NSJSONSerialization.JSONObjectWithData.");
          self->fail(failures, decoded.error());
          return;
        }
        self->update(std::move(decoded.value()), std::nullopt, arrived);
      },
      dispatch::makeSerialQueue());
  ULog("_request(by:callback:)", "END");
}

Result<net::Request> OvixClient::makeURLRequest(const std::string& url, const OvixRequest& model) {
  auto address = net::Url::make(url);
  if (!address) return address.error();
  auto body = makePostData(model);
  if (!body) return body.error();
  ULog("makeURLRequest(_:model:)", "TEST");
  ULogPrints(utf8Text(*body));

  net::Request request(std::move(*address));
  request.method = model.httpMethod().value_or("POST");
  request.setValue(OvixManager::shared().userAgent(), "User-Agent");
  request.addValue("application/json", "Content-Type");
  request.body = std::move(*body);
  if (logging.load(std::memory_order_relaxed)) {
    std::map<std::string, std::string> fields;
    for (const auto& [name, value] : request.headers) fields.emplace(name, value);
    ULogPrints(fields);
  }
  return request;
}

Result<std::string> OvixClient::makePostData(const OvixRequest& model) {
  ULog("makePostData(from:)", "START");
  auto written = makePostBody(model, manager_.bundleIdentifier(), manager_.version(), privacy_);
  if (!written) {
    ULog("makePostData(from:)",
         "Exception: JSONSerialization.data(withJSONObject: params, options: []).");
    if (auto delegate = ovixInfeed_.lock()) {
      delegate->failedToReceivedWith(written.error());
      releaseOnMainThread(std::move(delegate));
    }
    ULog("makePostData(from:)", "END");
    return written.error();
  }
  ULog("makePostData(from:)", "END");
  return written;
}

void OvixClient::update(std::optional<json::Value> answer, std::optional<Error> error,
                        clock::TimePoint arrived) {
  ULog("update(_:error:)", "START");
  if (error) {
    failed("Optional(" + error->description() + ")", error);
    return;
  }
  if (!answer) {
    failed("response json is nil.", std::nullopt);
    return;
  }
  const auto records = OvixJsonParser().parse(*answer);
  manager_.ovixAds()->add(records, arrived);
  if (auto delegate = ovixInfeed_.lock()) {
    delegate->successfulToReceivedAt(static_cast<std::int64_t>(records.size()));
    releaseOnMainThread(std::move(delegate));
  }
}

void OvixClient::fail(const std::shared_ptr<dispatch::Queue>& failures,
                      std::optional<Error> error) {
  if (!failures) return update(std::nullopt, std::move(error), {});
  failures->async([self = shared_from_this(), error = std::move(error)]() mutable {
    self->update(std::nullopt, std::move(error), {});
  });
}

void OvixClient::failed(const std::string& message, const std::optional<Error>& error) {
  ULog("failed(_:with:)", message);
  if (auto delegate = ovixInfeed_.lock()) {
    delegate->failedToReceivedWith(error);
    releaseOnMainThread(std::move(delegate));
  }
}

}  // namespace ovix
