# Sourced by the other scripts. `installPackages LABEL PACKAGE...` installs those of the
# Debian packages that are not installed yet (apt-get update first, no recommends), through
# sudo when not run as root, saying which under LABEL; it does nothing when all are there.
# `$sudo` is left set for the caller's own commands as root.
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

installPackages() {
  local label=$1 package
  shift
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "$label: installing ${missing[*]}" >&2
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}
