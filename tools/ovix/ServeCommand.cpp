#include "ServeCommand.hpp"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>

#include "Options.hpp"
#include "devserver/CertificateCache.hpp"
#include "devserver/Server.hpp"
#include "ovix/platform/Bundle.hpp"

namespace ovix::tool {
namespace {

constexpr const char* kServeHelp =
    "usage: ovix serve [options]\n"
    "  --port PORT          listen on PORT (default 8443; 0 picks a free one)\n"
    "  --host ADDRESS       listen on ADDRESS (default 127.0.0.1)\n"
    "  --http2              serve HTTP/2 only (ALPN h2) instead of HTTP/1.1\n"
    "  --ads FILE           serve the ads of FILE instead of the samples\n"
    "  --cache DIR          keep the certificate in DIR (default $XDG_CACHE_HOME/ovix\n"
    "                       or ~/.cache/ovix)\n"
    "  --print-cert-path    print the certificate's path, making it if needed, and exit\n"
    "  --delay MS           wait MS milliseconds before each ad answer\n"
    "  --image-delay MS     wait MS milliseconds before each image answer\n"
    "  --status CODE        answer ad requests with status CODE (200 to 599)\n"
    "  --garbage            answer ad requests with a body that is not JSON\n"
    "Clients reach it as https://ad.ovix.example through a connect override:\n"
    "  ovix load --infeed top-feed:2 --connect 127.0.0.1:PORT \\\n"
    "            --cacert $(ovix serve --print-cert-path)\n";

struct ServeOptions {
  devserver::ServerOptions server;
  std::optional<std::string> ads;
  bool printCertificatePath = false;
};

int failure(const std::string& message) {
  std::fprintf(stderr, "ovix serve: %s\n", message.c_str());
  return 1;
}

// Fills `options`; returns an exit status when the tool should stop.
std::optional<int> parse(int argc, char** argv, ServeOptions& options) {
  Options args(argc, argv, 2);
  while (auto name = args.next()) {
    auto integer = [&](long long low, long long high) -> std::optional<long long> {
      const auto text = args.value();
      const auto number = text ? parseInteger(*text) : std::nullopt;
      if (!number || *number < low || *number > high) return std::nullopt;
      return number;
    };
    auto text = [&](auto& into) {
      const auto value = args.value();
      if (value && !value->empty()) into = *value;
      return value && !value->empty();
    };
    bool ok = true;
    auto& server = options.server;
    if (*name == "help") {
      std::fputs(kServeHelp, stdout);
      return 0;
    } else if (*name == "port") {
      const auto port = integer(0, 65535);
      if (port) server.port = static_cast<std::uint16_t>(*port);
      ok = port.has_value();
    } else if (*name == "host") {
      ok = text(server.host);
    } else if (*name == "ads") {
      ok = text(options.ads);
    } else if (*name == "cache") {
      ok = text(server.cacheDirectory);
    } else if (*name == "delay") {
      const auto delay = integer(0, 60'000);
      if (delay) server.faults.delay = std::chrono::milliseconds(*delay);
      ok = delay.has_value();
    } else if (*name == "image-delay") {
      const auto delay = integer(0, 60'000);
      if (delay) server.faults.imageDelay = std::chrono::milliseconds(*delay);
      ok = delay.has_value();
    } else if (*name == "status") {
      const auto status = integer(200, 599);
      if (status) server.faults.status = static_cast<int>(*status);
      ok = status.has_value();
    } else if (*name == "http2") {
      server.http2 = true;
    } else if (*name == "garbage") {
      server.faults.garbage = true;
    } else if (*name == "print-cert-path") {
      options.printCertificatePath = true;
    } else {
      return usageError("serve", "unknown option '" + *name + "'", kServeHelp);
    }
    if (!ok) return usageError("serve", "bad or missing value for --" + *name, kServeHelp);
  }
  return std::nullopt;
}

void writeLine(const std::string& line) {
  const std::string out = line + "\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int runServe(int argc, char** argv) {
  ServeOptions options;
  if (auto status = parse(argc, argv, options)) return *status;
  auto& server = options.server;
  if (server.cacheDirectory.empty()) server.cacheDirectory = devserver::defaultCacheDirectory();

  if (options.printCertificatePath) {
    const auto certificate = devserver::loadOrMakeCertificate(server.cacheDirectory);
    if (!certificate) return failure(certificate.error().message);
    writeLine(certificate.value().certificatePath.string());
    return 0;
  }

  const auto adsPath =
      options.ads ? options.ads : Bundle::sdk()->pathForResource("sample-ads.json");
  if (!adsPath) return failure("the sample ads are not installed; name a file with --ads");
  auto inventory = devserver::Inventory::load(*adsPath);
  if (!inventory) return failure(inventory.error().message);
  server.inventory = std::move(inventory.value());
  server.log = writeLine;

  // The signals wait for sigwait below: blocked here, before the server's
  // threads exist, so that every thread inherits the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return failure("cannot block signals");

  const std::string host = server.host;
  const char* over = server.http2 ? " over HTTP/2" : "";
  devserver::Server running(std::move(server));
  if (auto error = running.start()) return failure(*error);
  writeLine("ovix serve listening on https://" + host + ":" + std::to_string(running.port()) +
            over + " (certificate " + running.certificatePath().string() + ")");
  int received = 0;
  sigwait(&signals, &received);
  running.stop();
  writeLine(std::string("ovix serve stopped by ") + (received == SIGINT ? "SIGINT" : "SIGTERM"));
  return 0;
}

}  // namespace ovix::tool
