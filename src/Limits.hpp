#pragma once

#include <cstddef>

// The bounds the SDK keeps to against a broken or hostile ad server, in one
// place. Each is a mended fault: without it one answer could exhaust the
// host's memory, time or file descriptors.
namespace ovix::limits {

// Connections open at once, across all transfers: a file-descriptor budget
// any host can live with. Transfers beyond it wait their turn, and their
// time-outs start when they do.
inline constexpr std::size_t kMaximumConnections = 64;
// A connection left open for reuse is closed after this long without use, in
// seconds.
inline constexpr long kIdleConnectionSeconds = 30;

// An ad answer is given up after this long as a whole, in seconds (the host's
// request time-out bounds each wait for data), and at this size.
inline constexpr double kAnswerTimeout = 3.0;
inline constexpr std::size_t kMaximumAnswerBytes = std::size_t{4} << 20;

// Records one answer adds; the rest are logged and dropped.
inline constexpr std::size_t kMaximumAdsPerAnswer = 1000;
// A string of an answer longer than this, in bytes, counts as a value of the
// wrong type.
inline constexpr std::size_t kMaximumStringBytes = 8 << 10;
// A host's privacy string longer than this, in bytes, is left out: real ones are far shorter.
inline constexpr std::size_t kMaximumPrivacyStringBytes = 10000;
// Beacons sent per list per ad: the first usable ones; the rest are logged
// and dropped.
inline constexpr std::size_t kMaximumBeaconsPerList = 10;

// A beacon is given up after this long as a whole, and after this long
// without data, in seconds; its answer is read no further than this, and
// then only its status line is kept.
inline constexpr double kBeaconTimeout = 3.0;
inline constexpr double kBeaconRequestTimeout = 10.0;
inline constexpr std::size_t kMaximumBeaconAnswerBytes = std::size_t{1} << 20;

// With a beacon store: beacons it keeps, the oldest dropped first beyond
// this; retries of a beacon that met no server, the first after this many
// seconds and each later one after twice the wait before it, plus up to a
// quarter for jitter; and how long after its impression a beacon is still
// sent, in seconds (exchanges count an impression within about an hour).
inline constexpr std::size_t kMaximumStoredBeacons = 10000;
inline constexpr int kMaximumBeaconRetries = 3;
inline constexpr double kFirstBeaconRetrySeconds = 15;
inline constexpr long long kBeaconLifetimeSeconds = 3600;

// An ad image is given up after this long, in seconds, and at this size.
inline constexpr double kImageTimeout = 10.0;
inline constexpr std::size_t kMaximumImageBytes = std::size_t{10} << 20;
// Ad images are thumbnails: one larger than this on a side is refused before
// its pixels are allocated, like a failed download, even where it could be
// decoded at a reduced scale (the codecs' own buffers follow the source).
inline constexpr int kMaximumImageSide = 4096;
// Decoded pixels in flight across all workers, in bytes: decodes that do not
// fit wait their turn without holding a worker. One image of the largest
// size fills it.
inline constexpr std::size_t kDecodeBudgetBytes =
    std::size_t{kMaximumImageSide} * kMaximumImageSide * 4;

}  // namespace ovix::limits
