# fish completion for pavrin. Install as pavrin.fish in a folder of
# $fish_complete_path (share/fish/vendor_completions.d).
#
# pavrin takes options only up to its first argument that is not one, or
# up to "--...", which is itself an input name; after that even a word that
# begins with '-' is a file. The value of -o, -w, -h and -c is the rest of
# the same word (-oout.map, -w16). Files: .map files and folders first.

function __pavrin_options_open
    for word in (commandline -opc)[2..]
        string match -qr -- '^-[^-]' $word; or return 1
    end
end

# The output name, which follows -o in the same word: fish puts the -o
# back in front of each name.
function __pavrin_output_names
    for name in (string sub -s 3 -- (commandline -ct))*
        test -d $name; and set name $name/
        printf '%s\n' $name
    end
end

# Files, unless the word being completed is an option.
function __pavrin_files_now
    not __pavrin_options_open; or not string match -qr -- '^-([^-]|$)' (commandline -ct)
end

complete -c pavrin -n __pavrin_options_open -s o -x -a '(__pavrin_output_names)' -d 'Write the joined map to a file'
complete -c pavrin -n __pavrin_options_open -s v -d "Report each map's size and place"
complete -c pavrin -n __pavrin_options_open -s x -d 'Place the maps side by side'
complete -c pavrin -n __pavrin_options_open -s y -d 'Place the maps one below the other'
complete -c pavrin -n __pavrin_options_open -s w -x -d 'Force the width in cells (0-255)'
complete -c pavrin -n __pavrin_options_open -s h -x -d 'Force the height in cells (0-255)'
complete -c pavrin -n __pavrin_options_open -s c -x -d 'Set the cell size in pixels (0-255)'
complete -c pavrin -n __pavrin_options_open -s '?' -d 'Print the usage text'
complete -c pavrin -f
complete -c pavrin -n __pavrin_files_now -k -a '(__fish_complete_suffix .map)'
