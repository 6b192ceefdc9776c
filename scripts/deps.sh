#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and benchmarks with.
# Idempotent: packages already present are skipped. Uses sudo when not root.
set -euo pipefail

packages=(
  # build and test
  cmake ninja-build g++ make pkg-config clang-format cloc
  # fuzzing: clang with libFuzzer, the sanitizer runtimes and the symbolizer
  # (16: 14 cannot compile std::source_location against libstdc++ 12)
  clang-16 libclang-rt-16-dev llvm-16
  libgtest-dev libgmock-dev libbenchmark-dev
  # network, JSON, identity
  libcurl4-openssl-dev libssl-dev libsimdjson-dev nlohmann-json3-dev uuid-dev
  # the opt-in beacon store
  libsqlite3-dev
  # loopback HTTPS servers for tests, tools and benchmarks: HTTP/1.1 and HTTP/2
  libcpp-httplib-dev zlib1g-dev libbrotli-dev libnghttp2-dev
  # images, drawing and text
  libcairo2-dev libpng-dev libjpeg62-turbo-dev libgif-dev libwebp-dev libutf8proc-dev
  # the renderer's sans-serif face, and fontconfig for the tests to free its caches
  fonts-dejavu-core libfontconfig-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
