#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, benchmarking and
# the demo need. Installs only what is missing; safe to run again.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ make pkg-config
  # libraries of the program
  nlohmann-json3-dev libutf8proc-dev nettle-dev libacl1-dev libseccomp-dev
  libpoppler-cpp-dev libpoppler-private-dev libvips-dev libglib2.0-dev libgdk-pixbuf-2.0-dev
  libtesseract-dev
  tesseract-ocr-kor tesseract-ocr-eng tesseract-ocr-osd
  # tests: GoogleTest, attribute and flag tools, fixture makers
  googletest libgtest-dev attr acl e2fsprogs btrfs-progs python3
  fonts-nanum imagemagick qpdf pango1.0-tools poppler-utils strace
  # benchmarks and fuzzing; fonts for the generated recognition pages
  hyperfine tesseract-ocr clang libclang-rt-14-dev libvips-tools time rapidjson-dev linux-perf
  fonts-noto-cjk fonts-dejavu-core fonts-urw-base35
  # style checks in CI
  clang-format-14 clang-tidy-14 git
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq "${missing[@]}"
