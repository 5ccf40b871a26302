# fish completion for anm-cellmap. Install as anm-cellmap.fish in a folder
# of $fish_complete_path (share/fish/vendor_completions.d).
#
# A command first (dump, build, check, view), then its options and files; a
# long option takes its value after '=' or as the next word.

set -l commands dump build check view
set -l warnings cut nsprt sprgpno trailing reserved id cell-size
complete -c anm-cellmap -n "not __fish_seen_subcommand_from $commands" -f
complete -c anm-cellmap -n "not __fish_seen_subcommand_from $commands" -a dump -d 'Write a file as JSON'
complete -c anm-cellmap -n "not __fish_seen_subcommand_from $commands" -a build -d 'Write a file from its JSON'
complete -c anm-cellmap -n "not __fish_seen_subcommand_from $commands" -a check -d 'Report what is wrong in files'
complete -c anm-cellmap -n "not __fish_seen_subcommand_from $commands" -a view -d 'Draw a file as a PNG picture'
complete -c anm-cellmap -n "not __fish_seen_subcommand_from $commands" -l version -d 'Print the version'
complete -c anm-cellmap -l help -d 'Print the usage text'

complete -c anm-cellmap -n "__fish_seen_subcommand_from dump check view" -l anm -d 'Read the file as an animation'
complete -c anm-cellmap -n "__fish_seen_subcommand_from dump check view" -l map -d 'Read the file as a cell map'

complete -c anm-cellmap -n "__fish_seen_subcommand_from build" -s o -l output -r -d 'The file to write (- for standard output)'
complete -c anm-cellmap -n "__fish_seen_subcommand_from build" -k -a '(__fish_complete_suffix .json)'

complete -c anm-cellmap -n "__fish_seen_subcommand_from check; and string match -q -- '-W*' (commandline -ct)" -f
complete -c anm-cellmap -n "__fish_seen_subcommand_from check" -o Werror -d 'Make every warning an error'
for warning in $warnings
    complete -c anm-cellmap -n "__fish_seen_subcommand_from check" -o W$warning -d "Turn on the $warning warning"
    complete -c anm-cellmap -n "__fish_seen_subcommand_from check" -o Wno-$warning -d "Turn off the $warning warning"
    complete -c anm-cellmap -n "__fish_seen_subcommand_from check" -o Werror=$warning -d "Make the $warning warning an error"
end

complete -c anm-cellmap -n "__fish_seen_subcommand_from view" -s o -r -F -d 'The PNG picture to write'
complete -c anm-cellmap -n "__fish_seen_subcommand_from view" -l tiles -r -F -d 'The sheet of cell pictures'
complete -c anm-cellmap -n "__fish_seen_subcommand_from view" -l texture -r -F -d 'The texture page of the sprites'
complete -c anm-cellmap -n "__fish_seen_subcommand_from view" -l index-mask -x -d 'The bits of a cell that index the sheet'
complete -c anm-cellmap -n "__fish_seen_subcommand_from view" -l groups -x -d 'The sprite groups to draw, A-B'
