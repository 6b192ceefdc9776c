#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ovix/OvixEventListener.hpp"
#include "ovix/platform/Dispatch.hpp"
#include "platform/net/Url.hpp"

// One impression beacon on the wire, and its report.
namespace ovix::beacon {

// Receives how one attempt ended, on the queue given to fetch.
using Finished = std::function<void(BeaconOutcome)>;

// Sends a GET of `url` with `userAgent` on a session of its own, within the
// beacon limits, logging the answer or the failure; `beforeSending` (may be
// empty) is the configuration's hook of that name. `finished` runs once, on
// `queue` (see net::fetch for null). Any thread.
void fetch(net::Url url, const std::string& userAgent, std::function<bool()> beforeSending,
           Finished finished, std::shared_ptr<dispatch::Queue> queue = nullptr);
// The same for a URL as text; one that does not parse finishes at once, on
// the calling thread, with kBadURL.
void fetch(const std::string& url, const std::string& userAgent,
           std::function<bool()> beforeSending, Finished finished,
           std::shared_ptr<dispatch::Queue> queue = nullptr);

// Tells the shared manager's event listener, if any, that the ad's beacon
// to `url` ended this way. Any thread.
void report(const std::string& uuid, const std::string& url, const BeaconOutcome& outcome);

}  // namespace ovix::beacon
