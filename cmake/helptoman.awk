# Turns the text of `mosaiq-cli --help` into a manual page, so that the page always describes
# the options of the program it is installed with. Variables: version, date (YYYY-MM-DD).
# The help reads: a "Utilisation : ..." line, paragraphs of description, groups of options
# under a heading line ending in ":", each option line indented by two spaces and its text
# after a run of spaces, then closing paragraphs "Title : text".

function roff(text) {
    gsub(/\\/, "\\e", text)
    gsub(/-/, "\\-", text)
    # A line that starts with a dot or a quote would be read as a request: \& before it.
    if (text ~ /^[.']/)
        text = "\\&" text
    return text
}

# Bold option names, italic placeholders: "-o, --page FICHIER".
function optionUsage(optionWords,    n, parts, i, out, word) {
    n = split(optionWords, parts, " ")
    out = ""
    for (i = 1; i <= n; i++) {
        word = parts[i]
        if (word ~ /^-/) {
            if (word ~ /,$/)
                word = "\\fB" roff(substr(word, 1, length(word) - 1)) "\\fR,"
            else
                word = "\\fB" roff(word) "\\fR"
        } else {
            word = "\\fI" roff(word) "\\fR"
        }
        out = out (out == "" ? "" : " ") word
    }
    return out
}

function flushParagraph() {
    if (paragraph == "")
        return
    if (section == "description") {
        if (!named) {
            name = paragraph
            sub(/ : .*/, "", name)
            sub(/\. .*/, "", name)
            gsub(/ \([^)]*\)/, "", name)
            name = tolower(substr(name, 1, 1)) substr(name, 2)
            named = 1
        }
        description = description ".PP\n" roff(paragraph) "\n"
    } else {
        title = paragraph
        text = ""
        if (index(paragraph, " : ") > 0) {
            title = substr(paragraph, 1, index(paragraph, " : ") - 1)
            text = substr(paragraph, index(paragraph, " : ") + 3)
        }
        closing = closing ".SH " toupper(roff(title)) "\n" roff(text) "\n"
    }
    paragraph = ""
}

BEGIN { section = "description"; options = ""; closing = ""; description = "" }

NR == 1 && /^Utilisation :/ {
    usage = $0
    sub(/^Utilisation : */, "", usage)
    split(usage, words, " ")
    command = words[1]
    synopsis = "\\fB" roff(command) "\\fR"
    for (i = 2; i in words; i++)
        synopsis = synopsis " " (words[i] ~ /^[A-Z]+$/ ? "\\fI" words[i] "\\fR" : roff(words[i]))
    next
}

/^[ \t]*$/ { flushParagraph(); inOptions = 0; inNote = 0; next }

# An option line: two spaces, the option, a run of two spaces or more, its text.
/^  -/ {
    line = substr($0, 3)
    optionWords = line
    text = ""
    if (match(line, /   */)) {
        optionWords = substr(line, 1, RSTART - 1)
        text = substr(line, RSTART + RLENGTH)
    }
    options = options ".TP\n" optionUsage(optionWords) "\n" roff(text) "\n"
    inOptions = 1
    section = "closing"
    next
}

# More text for the option above.
inOptions && /^   / {
    line = $0
    sub(/^ +/, "", line)
    options = options roff(line) "\n"
    next
}

# A note under a group of options, indented as the options are: a paragraph of that group.
(inOptions || inNote) && /^  [^ -]/ {
    line = $0
    sub(/^ +/, "", line)
    if (!inNote)
        options = options ".PP\n"
    options = options roff(line) "\n"
    inOptions = 0
    inNote = 1
    next
}

# A heading over a group of options.
/:$/ {
    flushParagraph()
    heading = $0
    sub(/ *:$/, "", heading)
    options = options ".SS " roff(heading) "\n"
    section = "closing"
    next
}

{
    line = $0
    sub(/^ +/, "", line)
    paragraph = paragraph (paragraph == "" ? "" : " ") line
}

END {
    flushParagraph()
    printf ".\\\" Made from the text of `%s --help` when the program was built.\n", command
    printf ".TH %s 1 \"%s\" \"Mosaiq %s\" \"Commandes de l'utilisateur\"\n", toupper(roff(command)), date, version
    print ".SH NOM"
    print roff(command) " \\- " roff(name)
    print ".SH SYNOPSIS"
    print synopsis
    print ".SH DESCRIPTION"
    printf "%s", description
    if (options != "") {
        print ".SH OPTIONS"
        printf "%s", options
    }
    printf "%s", closing
    print ".SH VOIR AUSSI"
    print ".BR mosaiq (1)"
}
