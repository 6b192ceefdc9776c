#include "platform/net/Fetch.hpp"

namespace ovix::net {

void fetch(Request request, const Configuration& configuration, CompletionHandler reply,
           std::shared_ptr<dispatch::Queue> queue) {
  auto session = Session::make(configuration, std::move(queue));
  // The handler holds the session until it has delivered the outcome.
  auto task = session->dataTask(
      std::move(request),
      [session, reply = std::move(reply)](std::optional<std::string> data,
                                          std::optional<HttpResponse> response,
                                          std::optional<Error> error) {
        if (error) session->invalidateAndCancel();
        reply(std::move(data), std::move(response), std::move(error));
      });
  task->resume();
  session->finishTasksAndInvalidate();
}

}  // namespace ovix::net
