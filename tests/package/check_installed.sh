# Checks of a quorve installed under a prefix, shared by the install test and the
# Debian package test. Sourced; each check counts what fails in `failures`.

failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

expect_equal() {  # what, expected, actual
  [[ $2 == "$3" ]] || fail "$1: expected $(printf %q "$2"), got $(printf %q "$3")"
}

# A file's bytes, trailing line ends included (command substitution drops them).
bytes_of() {
  cat "$1"
  printf .
}

# Exactly these files under the prefix, and nothing else.
check_file_list() {  # prefix
  local expected actual
  expected=$'bin/quorve\nshare/bash-completion/completions/quorve\nshare/doc/quorve/LICENSE'
  expected+=$'\nshare/doc/quorve/README.md\nshare/doc/quorve/copyright\nshare/man/man1/quorve.1'
  actual=$(cd "$1" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort)
  expect_equal "installed files" "$expected" "$actual"
}

# The installed program runs and does its job.
check_program() {  # prefix, version
  local program=$1/bin/quorve work
  [[ -x $program ]] || {
    fail "$program is not executable"
    return
  }
  expect_equal "--version, first line" "quorve $2" "$("$program" --version | head -n1)"
  work=$(mktemp -d)
  printf 'My cat\nThe Cat\n' >"$work/pets.txt"
  (cd "$work" && "$program" -w cat=dog pets.txt) || fail "quorve -w cat=dog ended with $?"
  expect_equal "the file the installed program wrote" $'My dog\r\nThe dog\r\n.' \
    "$(bytes_of "$work/pets.txt")"
  rm -rf "$work"
}

# The man page renders without a warning and names every option the completion
# offers. Needs man; without it only the page's source form is looked at.
check_man_page() {  # page
  local page=$1 warnings text option
  if ! command -v man >/dev/null; then
    echo "note: man is not installed, the page is not rendered" >&2
    grep -q '^\.TH "quorve" "1"' "$page" || fail "$page is no roff man page for quorve(1)"
    return
  fi
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  expect_equal "warnings of man --warnings -l $page" "" "$warnings"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null | sed 's/\xe2\x80\x90/-/g')
  for option in $(bash -c ". '$completion_file'; echo \$_quorve_flags \$_quorve_value_options"); do
    [[ $text == *"${option%=}"* ]] || fail "the man page does not mention $option"
  done
}

# Completion offers the options, and file names for a value.
check_completion() {  # completion file
  local completion_file=$1 work offered
  work=$(mktemp -d)
  touch "$work/pets.txt"
  offered=$(cd "$work" && bash -c '
    . "$1"
    complete_line() {
      COMP_LINE=$1 COMP_POINT=${#1}
      read -ra COMP_WORDS <<<"$2"
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
      _quorve
      echo "${COMPREPLY[*]}"
    }
    complete_line "quorve --vers" "quorve --vers"
    complete_line "quorve -o=pe" "quorve -o = pe"
    complete_line "quorve cat=dog p" "quorve cat = dog p"
    complete -p quorve' _ "$completion_file")
  expect_equal "completions" $'--version\npets.txt\npets.txt\ncomplete -F _quorve quorve' "$offered"
  rm -rf "$work"
}

# Every option form the parser knows with a leading dash is offered by the
# completion, so (through check_man_page) the man page names it too.
check_every_option_completed() {  # completion file, parser source
  local aliases alias offered
  aliases=$(grep -o 'Aliases = "[^"]*"' "$2" | sed 's/^.*= "//; s/"$//' | tr '|' '\n' | grep '^-')
  [[ -n $aliases ]] || fail "no option aliases found in $2"
  offered=" $(bash -c ". '$1'; echo \$_quorve_flags \$_quorve_value_options" | tr '\n' ' ') "
  for alias in $aliases; do
    [[ $offered == *" $alias "* || $offered == *" $alias= "* ]] ||
      fail "the completion does not offer $alias"
  done
}

check_installed_tree() {  # prefix, version
  completion_file=$1/share/bash-completion/completions/quorve
  check_file_list "$1"
  check_program "$1" "$2"
  check_man_page "$1/share/man/man1/quorve.1"
  check_completion "$completion_file"
}
