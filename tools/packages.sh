# Sourced by the setup scripts: installs the Debian packages that are missing,
# and only those, so that a second run does not touch apt at all.

missing_packages() {
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$' ||
            echo "$package"
    done
}

install_missing() {
    local missing
    missing=$(missing_packages "$@")
    [ -z "$missing" ] && return 0
    echo "== installing: $(echo $missing)"
    local run_as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "need root or sudo to install: $missing" >&2; return 1; }
        run_as_root=(sudo)
    fi
    "${run_as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q &&
        "${run_as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
}
