# The user's language for the scripts' messages, by the batch tool's rule: the first
# of LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set and not empty decides; French
# when it is "fr" or starts with "fr_" (for LANGUAGE, a list such as "fr:en", its first
# entry), English otherwise and when none is set. Sourced by the scripts.

# Succeeds when the user's language is French.
in_french() {
    for language in "${LANGUAGE:-}" "${LC_ALL:-}" "${LC_MESSAGES:-}" "${LANG:-}"; do
        [ -n "$language" ] || continue
        case ${language%%:*} in fr | fr_*) return 0 ;; *) return 1 ;; esac
    done
    return 1
}

# Prints the French text $1 or the English text $2, by the user's language.
say() {
    if in_french; then printf '%s\n' "$1"; else printf '%s\n' "$2"; fi
}
