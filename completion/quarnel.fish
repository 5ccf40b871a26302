# fish completion for quarnel. Install as quarnel.fish in a folder of
# $fish_complete_path (share/fish/vendor_completions.d).
#
# quarnel takes options only up to its first argument that is not one, or
# up to "--...", which is itself a file name; after that even a word that
# begins with '-' is a file. Files: .anm files and folders first.

function __quarnel_options_open
    for word in (commandline -opc)[2..]
        string match -qr -- '^-[^-]' $word; or return 1
    end
end

# Files, unless the word being completed is an option.
function __quarnel_files_now
    not __quarnel_options_open; or not string match -qr -- '^-([^-]|$)' (commandline -ct)
end

complete -c quarnel -n __quarnel_options_open -s d -d 'Raw sprite words as comments'
complete -c quarnel -n __quarnel_options_open -s s -d 'Static tables'
complete -c quarnel -n __quarnel_options_open -s l -d 'Lower-case table names'
complete -c quarnel -n __quarnel_options_open -s r -d "Each group's sprites last-first"
complete -c quarnel -n __quarnel_options_open -s '?' -d 'Print the usage text'
complete -c quarnel -f
complete -c quarnel -n __quarnel_files_now -k -a '(__fish_complete_suffix .anm)'
