# Turns the text of `mosaiq-cli --help` into its bash completion, so that every option the help
# lists completes, with what its value is: a file for FICHIER, the listed words for a value
# whose text begins "a, b ou c", nothing to offer otherwise.

function addWords(list, words) { return list (list == "" ? "" : " ") words }

/^  -/ {
    line = substr($0, 3)
    optionWords = line
    text = ""
    if (match(line, /   */)) {
        optionWords = substr(line, 1, RSTART - 1)
        text = substr(line, RSTART + RLENGTH)
    }
    n = split(optionWords, parts, " ")
    names = ""
    placeholder = ""
    for (i = 1; i <= n; i++) {
        word = parts[i]
        sub(/,$/, "", word)
        if (word ~ /^-/)
            names = addWords(names, word)
        else
            placeholder = word
    }
    all = addWords(all, names)
    if (placeholder == "")
        next
    pattern = names
    gsub(/ /, "|", pattern)
    if (placeholder ~ /^(FICHIER|DOSSIER)$/) {
        files = addWords(files, pattern)
    } else if (text ~ /^[a-z]+(, [a-z]+)* ou [a-z]+/) {
        choices = text
        sub(/ \(.*/, "", choices)
        gsub(/,/, "", choices)
        gsub(/ ou /, " ", choices)
        words[pattern] = choices
        chosen = addWords(chosen, pattern)
    } else {
        free = addWords(free, pattern)
    }
}

END {
    print "# bash completion for mosaiq-cli, made from its --help when it was built."
    print "_mosaiq_cli()"
    print "{"
    print "    local cur prev words cword"
    print "    _init_completion || return"
    print ""
    print "    case $prev in"
    if (files != "") {
        gsub(/ /, "|", files)
        print "        " files ")"
        print "            _filedir"
        print "            return"
        print "            ;;"
    }
    n = split(chosen, patterns, " ")
    for (i = 1; i <= n; i++) {
        print "        " patterns[i] ")"
        print "            COMPREPLY=($(compgen -W '" words[patterns[i]] "' -- \"$cur\"))"
        print "            return"
        print "            ;;"
    }
    if (free != "") {
        gsub(/ /, "|", free)
        print "        " free ")"
        print "            return"
        print "            ;;"
    }
    print "    esac"
    print ""
    print "    if [[ $cur == -* ]]; then"
    print "        COMPREPLY=($(compgen -W '" all "' -- \"$cur\"))"
    print "        return"
    print "    fi"
    print "    _filedir"
    print "} &&"
    print "    complete -F _mosaiq_cli mosaiq-cli"
}
