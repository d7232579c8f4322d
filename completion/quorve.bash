# bash completion for quorve: its options, and file names for everything else
# (input and output files, the value of -o=, -h= and -f=, and either side of a
# pair, which may name a file whose content it stands for).

_quorve_flags='-c -q -l -r -m -w -s -0 -v -dos -ps-sv -fixbtm -?
  --case_sensitive --quiet --line-by-line --regexp --match --write --show --zero
  --verbose --unix --unixformat --keep-eol --ps-text-svensk --help --version --diff --stats
  --must-match --recursive'
_quorve_value_options='-h= -f= -o= -m= -n= -k= -0= --header= --footer= --out=
  --match= --number-of-lines= --occurrance= --occurrence= --zero= --files-from= --jobs='

_quorve() {
  # The word as typed: readline cuts words at "=", quorve does not.
  local line=${COMP_LINE:0:COMP_POINT}
  local word=${line##*[[:space:]]}
  local cur=${COMP_WORDS[COMP_CWORD]}
  [[ $cur == "=" ]] && cur=
  COMPREPLY=()
  case $word in
    -*=* | /*=*)
      # A value: a file name, but not for -n=, -k=, -0=, -m= and --jobs= (numbers, an
      # expression).
      case ${word%%=*} in
        -n | -k | -0 | -m | --number-of-lines | --occurrance | --zero | --match | --jobs) return ;;
      esac
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      ;;
    -*)
      mapfile -t COMPREPLY < <(compgen -W "$_quorve_flags $_quorve_value_options" -- "$word")
      # An option that takes a value goes on right after its "=".
      [[ ${#COMPREPLY[@]} == 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
      ;;
    *)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      ;;
  esac
}

complete -F _quorve quorve
