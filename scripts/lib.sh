# Shared by the README's commands: installs what is missing and nothing else.

# Installs the Debian packages given that are not installed yet (apt-get update once, if needed).
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# What every build of Tarvex needs: the compiler and build tools, GoogleTest, and the libraries of
# the workbook, database and network-file code. One list, so that no script forgets one.
ensure_build_packages() {
  ensure_packages cmake make g++ pkg-config libgtest-dev nlohmann-json3-dev libsqlite3-dev \
    mdbtools-dev libzip-dev libpugixml-dev libgsf-1-dev libdeflate-dev "$@"
}

# Generates a locale such as de_DE.UTF-8 unless the system has it already.
ensure_locale() {
  local name=$1 normalized
  normalized=$(echo "$name" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  if locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -qx "$normalized"; then
    return 0
  fi
  ensure_packages locales
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  local charset=${name#*.}
  if ! grep -q "^${name} ${charset}" /etc/locale.gen 2>/dev/null; then
    echo "${name} ${charset}" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo[@]}" locale-gen
}

# Configures and builds the project in the given folder; further arguments go to cmake.
build_tarvex() {
  local source=$1 folder=$2
  shift 2
  cmake -S "$source" -B "$folder" "$@"
  cmake --build "$folder" -j"$(nproc)"
}

# node and npm, for the second workbook reader of the tests. A node from another source that
# brings its own npm is taken as it is (Debian's npm would conflict with it).
ensure_node() {
  if command -v node >/dev/null && command -v npm >/dev/null; then
    return 0
  fi
  ensure_packages nodejs npm
}

# The npm package xlsx (SheetJS), which the workbook tests read their results with beside
# openpyxl, in BUILD-FOLDER/node where the tests look for it.
ensure_sheetjs() {
  local folder=$1/node
  [ -f "$folder/node_modules/xlsx/package.json" ] && return 0
  npm install --silent --no-audit --no-fund --prefix "$folder" xlsx@0.18.5
}

# The npm package onnxruntime-node (about 300 MB), which the ONNX tests run the exported models
# in, in BUILD-FOLDER/node beside SheetJS. Its install step would download GPU libraries: skipped,
# the CPU runtime comes with the package.
ensure_onnxruntime() {
  local folder=$1/node
  [ -f "$folder/node_modules/onnxruntime-node/package.json" ] && return 0
  ONNXRUNTIME_NODE_INSTALL=skip npm install --silent --no-audit --no-fund --prefix "$folder" \
    onnxruntime-node@1.30.0
}
