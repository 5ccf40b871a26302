# quarnel-pavrin.mk: GNU make (4.2 or later) rules that run quarnel and pavrin.
#
#   include /usr/share/quarnel-pavrin/quarnel-pavrin.mk
#   $(call quarnel_tables,OUT_DIR,FILE.anm ...[,OPTIONS[,HEADER]])
#   $(call pavrin_join,OUTPUT,FILE.map ...[,OPTIONS])
#
# quarnel_tables adds, for each .anm file, a rule that makes OUT_DIR/NAME.c,
# NAME being the file's name (walk.anm gives walk.anm.c, with tables named
# anm_walk_anm_...). quarnel runs in the file's folder on its bare name, so
# the text holds no build path; it writes a temporary file that is renamed
# only when quarnel succeeded, so a failed run leaves no NAME.c behind (an
# older one goes too), and an interrupted one no temporary file. These are
# the bytes that quarnel_add_tables() makes in CMake. OPTIONS may hold, each
# a word of its own:
#   -l  lower-case table names      -r  sprites last-first
#   -d  raw sprite words as comments
#   -s  static tables, only without HEADER (NAME.h declares them extern)
#
# With HEADER, the path of the header that defines SEQ, SPT, seq(), spt()
# and NULL, it also adds rules for the two files quarnel_add_tables() writes
# beside NAME.c, byte for byte the same: OUT_DIR/NAME.h, which includes
# HEADER by its file name and declares the two tables other code uses
# (walk.anm.h declares anm_walk_anm_seq and anm_walk_anm_ptr), and the
# wrapper OUT_DIR/wrap/NAME.c, which compiles the tables after NAME.h and is
# remade whenever NAME.c or NAME.h is. Compile the wrapper, with HEADER's
# folder on the include path, and include NAME.h where the tables are used:
#
#   $(call quarnel_tables,out,walk.anm,,src/anm.h)
#   out/walk.o: out/wrap/walk.anm.c src/anm.h
#   	$(CC) -Isrc -c -o $@ out/wrap/walk.anm.c
#
# Without HEADER, NAME.c includes no header: compile it through a file that
# includes the header, then NAME.c.
#
# pavrin_join adds a rule that makes OUTPUT from the maps, with OPTIONS
# taken from pavrin's, each a word of its own:
#   -x  side by side                -y  one below the other (the default)
#   -v  progress on standard error
#   -wN, -hN  the width, height in cells; -cN  the cell size in pixels
# N is a number of 0-255 as pavrin reads it: decimal, 0x hexadecimal or 0
# octal (0377 is 255; 08 and 1e2 are not numbers), written in the same word.
#
# Names: each file name reaches its tool as one argument, quoted for the
# shell, and make's own patterns are escaped in the rules, so each rule
# depends on the file named and a failed rule removes only its own output.
# A name with *, ? or [ is the file of that name whenever it exists or
# nothing else matches it as a pattern; while it is missing and other files
# match, make knows it by the name with those characters escaped
# (level\?.map), as a makefile must then write it; a goal given on make's
# command line is then not found. Names that make cannot carry in a rule
# stop make while it reads the call, naming the file: a blank, ':', '#',
# '%', '=' or ';' in it, or the form A(B), which make reads as the member B
# of the archive A.
#
# Mistakes stop make while it reads the call, before any rule runs, naming
# the call and what is wrong: an option not listed above (-lr, --lower,
# "-w 40", -wabc, -w300); a file named -, which quarnel reads as standard
# input; within one OUT_DIR, over every call that names it, two files with
# the same name, or whose tables get the same label; two pavrin_join calls
# for one OUTPUT.
#
# Current: each output is remade when its input, its tool or its call's
# options change (for NAME.c: the file, QUARNEL and OPTIONS; for OUTPUT: the
# maps, PAVRIN and OPTIONS), and NAME.h when the text it would get changes
# (HEADER's file name, or -l through the table names); not otherwise.
# Other calls, even into the same OUT_DIR, are not touched. Each NAME.c and
# OUTPUT has a file beside it, OUT_DIR/.NAME.c.cmd and .OUTPUT.cmd, that
# holds what made it (tool, options and input, as given), written after it
# was made and read when the makefile is; while the makefile is read, and
# under make -n, nothing is written. make -t makes the folders and touches
# the outputs; having no such file, they are made by the next make.
#
# Quiet: one line per output (QUARNEL out/walk.anm.c, PAVRIN out/level.map,
# GEN out/walk.anm.h for the files make writes itself); with V=1 (on make's
# command line, or set before the include) the tools' commands show instead
# of their lines, and make -s shows no line. When a tool fails, a line
# right after its own message names the input (quarnel_tables:
# assets/npc21.anm failed) or the output (pavrin_join: out/level.map
# failed), and the output is removed; with -j, make -O keeps the two
# together.
#
# Fast: reading a call starts no process but for a file name with a byte
# outside printable ASCII (then one shell for the whole call's labels); each
# input's recipe starts one shell, quarnel and one mv; make writes NAME.h
# and the wrapper itself, and makes each folder once.
#
# Set QUARNEL and PAVRIN before the calls: each rule also depends on the
# program, when it is a file or found on PATH, so a new tool remakes the
# output. The calls add these rules only (and one for each folder they
# write into): the including makefile's default goal and special targets
# stay as they were.

QUARNEL ?= quarnel
PAVRIN ?= pavrin

# How make runs, from its single-letter flags, which it sets before it
# reads a makefile: -n (and -q) write nothing, -s prints no line; V=1 shows
# the tools' commands in place of their short lines.
quarnel_pavrin_flags := $(firstword -$(MAKEFLAGS))
quarnel_pavrin_dry := $(findstring n,$(quarnel_pavrin_flags))$(findstring q,$(quarnel_pavrin_flags))
quarnel_pavrin_silent := $(findstring s,$(quarnel_pavrin_flags))
quarnel_pavrin_at := $(if $(filter 1,$(value V)),,@)
quarnel_pavrin_say = $(if $(quarnel_pavrin_silent)$(filter 1,$(value V)),,$$(info $(1) $$@))

# The file that runs for a command: its first word when that has a '/', else
# that word's first match on PATH; nothing when there is none.
quarnel_pavrin_program = $(firstword $(if $(findstring /,$(firstword $(1))),$(wildcard $(firstword $(1))),$(wildcard $(addsuffix /$(firstword $(1)),$(subst :, ,$(PATH))))))

# A command that still works after a cd: words with a '/' made absolute.
quarnel_pavrin_command = $(foreach word,$(1),$(if $(findstring /,$(word)),$(abspath $(word)),$(word)))

# Text (1) inside single quotes of the shell.
quarnel_pavrin_quote = $(subst ','\'',$(1))

# Text (1) as $(eval) reads it: each $ doubled.
quarnel_pavrin_dollar = $(subst $$,$$$$,$(1))

# Text (1) as one word of the shell in a recipe that $(eval) reads: quoted,
# and each $ doubled for make.
quarnel_pavrin_sh = '$(subst $$,$$$$,$(subst ','\'',$(1)))'

# A file name (1) as a target or prerequisite in a rule that $(eval) reads.
# make reads a name with *, ? or [ as a pattern of names, and a pattern that
# matches no file as the name itself: such a name is written as it is while
# it matches nothing, and escaped once it matches a file (the file, when it
# is there; else a name no file has, which is remade until the file is
# there). | is escaped, each $ doubled.
quarnel_pavrin_in_rule = $(subst $$,$$$$,$(subst |,\|,$(if $(findstring *,$(1))$(findstring ?,$(1))$(findstring [,$(1)),$(if $(wildcard $(1)),$(subst [,\[,$(subst ?,\?,$(subst *,\*,$(subst \,\\,$(1))))),$(1)),$(1))))

# Stops make, naming the function (1), at OUT_DIR or OUTPUT (2) or at any of
# the input FILES (3) that make cannot carry in a rule: a name with a
# character of a rule's syntax; one with a blank, which make has split into
# words (found, when the inputs' folders hold a name with a blank, as a
# missing word that is a file's name up to a blank, or typed with "\ ");
# one that make reads as the member B of the archive A, A(B).
quarnel_pavrin_check_names = $(if $(findstring :,$(2)$(3))$(findstring $(quarnel_pavrin_hash),$(2)$(3))$(findstring %,$(2)$(3))$(findstring =,$(2)$(3))$(findstring ;,$(2)$(3)),$(foreach name,$(2) $(3),$(foreach character,: $(quarnel_pavrin_hash) % = ;,$(if $(findstring $(character),$(name)),$(error $(1): $(name): make cannot carry a name with '$(character)' in a rule; rename the file)))))$(if $(word 2,$(2)),$(error $(1): $(2): make cannot carry a name with a blank in a rule; choose another))$(if $(filter %\,$(3))$(wildcard $(addsuffix *[[:blank:]]*,$(sort $(dir $(3))))),$(foreach word,$(filter-out $(wildcard $(3)),$(3)),$(if $(filter %\,$(word))$(wildcard $(patsubst %\,%,$(word))[[:blank:]]*),$(error $(1): $(or $(wildcard $(patsubst %\,%,$(word))[[:blank:]]*),$(word)...): make cannot carry a name with a blank in a rule; rename the file))))$(foreach name,$(filter %$(quarnel_pavrin_close),$(2) $(3)),$(if $(findstring $(quarnel_pavrin_open),$(patsubst $(quarnel_pavrin_open)%,%,$(name))),$(error $(1): $(name): make reads a name A(B) as the member B of the archive A; rename the file)))
quarnel_pavrin_hash := \#
quarnel_pavrin_open := (
quarnel_pavrin_close := )

define quarnel_pavrin_newline


endef

# A prerequisite that makes its target run its recipe, unless a file's text
# (1) is TEXT (2) with its newline: it holds TEXT and lies within TEXT and a
# newline. $(file <) of make 4.3 drops the last newline only now and then
# (when its buffer grew while reading).
quarnel_pavrin_force_unless = $(if $(and $(findstring $(2),$(1)),$(findstring $(1),$(2)$(quarnel_pavrin_newline))),, quarnel_pavrin_force)

# The texts of NAME.h and the wrapper, shared with the CMake package.
quarnel_pavrin_template := $(dir $(lastword $(MAKEFILE_LIST)))quarnel-pavrin-template.mk
include $(quarnel_pavrin_template)

# The template's text (1) for NAME (2), LABEL (3) and HEADER (4).
quarnel_pavrin_fill = $(subst @HEADER@,$(4),$(subst @LABEL@,$(3),$(subst @NAME@,$(2),$(1))))

# Each of CHARACTERS (1) in TEXT (3) made REPLACEMENT (2).
quarnel_pavrin_replace = $(if $(1),$(call quarnel_pavrin_replace,$(wordlist 2,$(words $(1)),$(1)),$(2),$(subst $(firstword $(1)),$(2),$(3))),$(3))
quarnel_pavrin_lower = $(subst A,a,$(subst B,b,$(subst C,c,$(subst D,d,$(subst E,e,$(subst F,f,$(subst G,g,$(subst H,h,$(subst I,i,$(subst J,j,$(subst K,k,$(subst L,l,$(subst M,m,$(subst N,n,$(subst O,o,$(subst P,p,$(subst Q,q,$(subst R,r,$(subst S,s,$(subst T,t,$(subst U,u,$(subst V,v,$(subst W,w,$(subst X,x,$(subst Y,y,$(subst Z,z,$(1)))))))))))))))))))))))))))
quarnel_pavrin_punctuation := ! " \# $$ % & ' ( ) * + , - . : ; < = > ? @ [ \ ] ^ ` { | } ~
quarnel_pavrin_alphanumerics := 0 1 2 3 4 5 6 7 8 9 a b c d e f g h i j k l m n o p q r s t u v w x y z \
    A B C D E F G H I J K L M N O P Q R S T U V W X Y Z

# The labels quarnel names the tables of NAMES (2) after, a word each: "anm_"
# and the name, with -l among OPTIONS (1) lower-cased, then every byte outside
# [0-9A-Za-z_] made _. Names of printable ASCII only are done by make; with
# any other byte, one shell does all the names of the call.
quarnel_pavrin_labels = $(call quarnel_pavrin_labels_of,$(1),$(2),$(call quarnel_pavrin_replace,$(quarnel_pavrin_punctuation),_,$(addprefix anm_,$(if $(filter -l,$(1)),$(call quarnel_pavrin_lower,$(2)),$(2)))))
quarnel_pavrin_labels_of = $(if $(strip $(subst _,,$(call quarnel_pavrin_replace,$(quarnel_pavrin_alphanumerics),_,$(3)))),$(shell printf 'anm_%s\n' $(foreach name,$(2),'$(call quarnel_pavrin_quote,$(name))') | $(if $(filter -l,$(1)),LC_ALL=C tr A-Z a-z |) LC_ALL=C tr -c '0-9A-Za-z_\n' _),$(3))

# Every number of 0-255 written with DIGITS (1), in order from 0.
quarnel_pavrin_bytes = $(wordlist 1,256,$(1) $(foreach a,$(wordlist 2,16,$(1)),$(addprefix $(a),$(1))) $(foreach a,$(wordlist 2,16,$(1)),$(foreach b,$(1),$(addprefix $(a)$(b),$(1)))))
quarnel_pavrin_decimal := $(call quarnel_pavrin_bytes,0 1 2 3 4 5 6 7 8 9)
quarnel_pavrin_octal := $(call quarnel_pavrin_bytes,0 1 2 3 4 5 6 7)
quarnel_pavrin_hexadecimal := $(call quarnel_pavrin_bytes,0 1 2 3 4 5 6 7 8 9 a b c d e f)
quarnel_pavrin_unzero = $(if $(filter 0%,$(1)),$(call quarnel_pavrin_unzero,$(patsubst 0%,%,$(1))),$(1))
quarnel_pavrin_digits_in = $(filter $(2),$(or $(call quarnel_pavrin_unzero,$(1)),0))

# Not empty when N (1) is all a number that pavrin reads, as strtol() does
# with base 0, as 0-255; as cmake/quarnel-pavrin-functions.cmake reads it.
quarnel_pavrin_byte = $(if $(filter 0x% 0X%,$(1)),$(if $(filter-out 0x 0X,$(1)),$(call quarnel_pavrin_digits_in,$(call quarnel_pavrin_lower,$(patsubst 0x%,%,$(patsubst 0X%,0x%,$(1)))),$(quarnel_pavrin_hexadecimal))),$(if $(filter 0%,$(1)),$(call quarnel_pavrin_digits_in,$(1),$(quarnel_pavrin_octal)),$(filter $(quarnel_pavrin_decimal),$(1))))

# The options of a call, before it adds a rule: OPTIONS (1), HEADER (2).
quarnel_pavrin_check_tables = $(foreach word,$(1),$(if $(filter-out -l -r -d $(if $(2),,-s),$(word)),$(error quarnel_tables: $(word) in OPTIONS: $(if $(filter -s,$(word)),NAME.h of HEADER declares the tables extern$(quarnel_pavrin_comma) which static tables would contradict; drop -s or HEADER,OPTIONS may hold -l$(quarnel_pavrin_comma) -r$(quarnel_pavrin_comma) -d and (without HEADER) -s$(quarnel_pavrin_comma) each a word of its own))))
quarnel_pavrin_check_join = $(foreach word,$(1),$(if $(or $(filter -x -y -v,$(word)),$(call quarnel_pavrin_byte,$(foreach flag,-w -h -c,$(patsubst $(flag)%,%,$(filter $(flag)%,$(word)))))),,$(error pavrin_join: $(word) in OPTIONS: OPTIONS may hold -x$(quarnel_pavrin_comma) -y$(quarnel_pavrin_comma) -v and -wN$(quarnel_pavrin_comma) -hN$(quarnel_pavrin_comma) -cN$(quarnel_pavrin_comma) each a word of its own$(quarnel_pavrin_comma) N a number of 0-255 (decimal$(quarnel_pavrin_comma) 0x hexadecimal or 0 octal))))
quarnel_pavrin_comma := ,

# Rules are added as make reads the calls; one made before the including
# makefile's first would become its default goal, so the goal is put back.
quarnel_pavrin_goal := $(.DEFAULT_GOAL)
quarnel_pavrin_force:
.DEFAULT_GOAL := $(quarnel_pavrin_goal)

# A folder (1), made once, before the files that go into it. The recipe
# runs under make -t too, where make would touch a file in the folder's
# place, but not under -n or -q.
define quarnel_pavrin_folder_rule
quarnel_pavrin_folder.$(call quarnel_pavrin_dollar,$(subst :,_,$(1))) := 1
$(call quarnel_pavrin_in_rule,$(1)):
	$(if $(quarnel_pavrin_dry),,+)$(quarnel_pavrin_at)mkdir -p $(call quarnel_pavrin_sh,$(1))
endef
quarnel_pavrin_folder = $(if $(quarnel_pavrin_folder.$(subst :,_,$(1))),,$(eval $(call quarnel_pavrin_folder_rule,$(1))))

# What a call's files share: 1 the call's number, 2 OPTIONS, 3 HEADER,
# 4 OUT_DIR, 5 FILES. The values that go into rules are kept in the form
# $(eval) reads, with each $ doubled once more for this $(eval).
define quarnel_pavrin_tables_setup
quarnel_pavrin_calls += $(1)
quarnel_pavrin_out.$(1) := $(call quarnel_pavrin_dollar,$(4))
quarnel_pavrin_key.$(1) := $(call quarnel_pavrin_dollar,$(subst :,_,$(abspath $(4))))
quarnel_pavrin_dir_rule.$(1) := $(call quarnel_pavrin_dollar,$(call quarnel_pavrin_in_rule,$(abspath $(4))))
quarnel_pavrin_dir_sh.$(1) := $(call quarnel_pavrin_dollar,$(call quarnel_pavrin_sh,$(abspath $(4))))
quarnel_pavrin_tool.$(1) := $(call quarnel_pavrin_dollar,$(call quarnel_pavrin_in_rule,$(call quarnel_pavrin_program,$(QUARNEL))))
quarnel_pavrin_command.$(1) := $(call quarnel_pavrin_dollar,$(foreach word,$(call quarnel_pavrin_command,$(QUARNEL)) $(2),$(call quarnel_pavrin_sh,$(word))))
quarnel_pavrin_made_by.$(1) := $(call quarnel_pavrin_dollar,$(strip $(QUARNEL) $(2)))
quarnel_pavrin_header.$(1) := $(call quarnel_pavrin_dollar,$(notdir $(3)))
quarnel_pavrin_special.$(1) := $(call quarnel_pavrin_dollar,$(foreach character,* ? [ | $$,$(findstring $(character),$(4)$(5))))
endef
quarnel_pavrin_quarnel_line := $(call quarnel_pavrin_say,QUARNEL)
quarnel_pavrin_template_rule := $(call quarnel_pavrin_in_rule,$(quarnel_pavrin_template))

# One .anm file: NAME.c, and NAME.h and the wrapper with HEADER. quarnel
# reads the argument --x as the file -x. 1 OUT_DIR, 2 FILE.anm, 3 NAME,
# 4 label, 5 the call's number, 6 NAME for the shell, 7 not empty when a
# name of the call needs escaping in rules. Its parts are written
# out rather than called: a $(call) costs more than most of what it would do.
define quarnel_pavrin_tables_rule
$(if $(filter -,$(3)),$(error $(2): quarnel reads a file named - only as standard input; rename it))$(if $(quarnel_pavrin_name.$(quarnel_pavrin_key.$(5))/$(3)),$(error quarnel_tables: $(2) and $(quarnel_pavrin_name.$(quarnel_pavrin_key.$(5))/$(3)) have the same name so their tables would overwrite each other in $(1)))$(if $(quarnel_pavrin_label.$(quarnel_pavrin_key.$(5))/$(4)),$(error quarnel_tables: $(2) and $(quarnel_pavrin_label.$(quarnel_pavrin_key.$(5))/$(4)) give the same table names ($(4)_seq and $(4)_ptr) in $(1)))
quarnel_pavrin_name.$(subst $$,$$$$,$(quarnel_pavrin_key.$(5))/$(3)) := $(subst $$,$$$$,$(2))
quarnel_pavrin_label.$(subst $$,$$$$,$(quarnel_pavrin_key.$(5)))/$(4) := $(subst $$,$$$$,$(2))
$(if $(7),$(call quarnel_pavrin_in_rule,$(1)/$(3).c),$(1)/$(3).c): $(if $(7),$(call quarnel_pavrin_in_rule,$(2)),$(2)) $(quarnel_pavrin_tool.$(5))$(call quarnel_pavrin_force_unless,$(file <$(1)/.$(3).c.cmd),$(quarnel_pavrin_made_by.$(5)) $(2)) | $(quarnel_pavrin_dir_rule.$(5))
	$(quarnel_pavrin_at)$(quarnel_pavrin_quarnel_line)c=$(quarnel_pavrin_dir_sh.$(5))/$(6).c; trap 'rm -f "$$$$c.tmp"; exit 1' HUP INT TERM; cd '$(subst $$,$$$$,$(subst ','\'',$(if $(filter -%,$(2)),./)$(dir $(2))))' && $(quarnel_pavrin_command.$(5)) $(if $(filter -%,$(3)),-)$(6) >"$$$$c.tmp" && mv -f "$$$$c.tmp" "$$$$c" && printf '%s\n' '$(subst $$,$$$$,$(subst ','\'',$(quarnel_pavrin_made_by.$(5)) $(2)))' >$(quarnel_pavrin_dir_sh.$(5))/.$(6).c.cmd || { rm -f "$$$$c.tmp" "$$$$c"; printf '%s\n' '$(subst $$,$$$$,$(subst ','\'',quarnel_tables: $(2) failed))' >&2; exit 1; }
$(if $(quarnel_pavrin_header.$(5)),$(quarnel_pavrin_header_rules))
endef

# Part of quarnel_pavrin_tables_rule, with its arguments. The recipes name
# their file through variables: a name may hold a comma or a parenthesis.
define quarnel_pavrin_header_rules
$(if $(7),$(call quarnel_pavrin_in_rule,$(1)/$(3).h),$(1)/$(3).h):$(call quarnel_pavrin_force_unless,$(file <$(1)/$(3).h),$(subst @HEADER@,$(quarnel_pavrin_header.$(5)),$(subst @LABEL@,$(4),$(subst @NAME@,$(3),$(quarnel_pavrin_header_text))))) | $(quarnel_pavrin_dir_rule.$(5))
	$$(call quarnel_pavrin_write,$$(quarnel_pavrin_out.$(5))/$$(notdir $$(quarnel_pavrin_label.$$(quarnel_pavrin_key.$(5))/$(4))).h,$$(quarnel_pavrin_header_text),$(4),$(5))
$(if $(7),$(call quarnel_pavrin_in_rule,$(1)/wrap/$(3).c),$(1)/wrap/$(3).c): $(if $(7),$(call quarnel_pavrin_in_rule,$(1)/$(3).h),$(1)/$(3).h) $(if $(7),$(call quarnel_pavrin_in_rule,$(1)/$(3).c),$(1)/$(3).c) $(quarnel_pavrin_template_rule) | $(quarnel_pavrin_dir_rule.$(5))/wrap
	$$(call quarnel_pavrin_write,$$(quarnel_pavrin_out.$(5))/wrap/$$(notdir $$(quarnel_pavrin_label.$$(quarnel_pavrin_key.$(5))/$(4))).c,$$(quarnel_pavrin_wrapper_text),$(4),$(5))
endef

# Writes FILE (1), NAME.h or the wrapper, from the template's TEXT (2) for
# the label (3) and the HEADER of the call (4).
quarnel_pavrin_write = $(if $(quarnel_pavrin_silent),,$(info GEN $(1)))$(if $(quarnel_pavrin_dry),,$(file >$(1),$(call quarnel_pavrin_fill,$(2),$(notdir $(basename $(1))),$(3),$(quarnel_pavrin_header.$(4)))))

# 1 OUT_DIR, 2 FILES, 3 OPTIONS, 4 HEADER, 5 the call's number. Each file
# goes with its label as FILE/LABEL (a label has no '/').
quarnel_pavrin_tables = $(eval $(call quarnel_pavrin_tables_setup,$(5),$(3),$(4),$(1),$(2)))$(call quarnel_pavrin_folder,$(abspath $(1)))$(if $(4),$(call quarnel_pavrin_folder,$(abspath $(1))/wrap))$(foreach pair,$(join $(2),$(addprefix /,$(call quarnel_pavrin_labels,$(3),$(notdir $(2))))),$(eval $(call quarnel_pavrin_tables_rule,$(1),$(patsubst %/,%,$(dir $(pair))),$(notdir $(patsubst %/,%,$(dir $(pair)))),$(notdir $(pair)),$(5),'$(subst $$,$$$$,$(subst ','\'',$(notdir $(patsubst %/,%,$(dir $(pair))))))',$(quarnel_pavrin_special.$(5)))))

# pavrin reads a first argument --x as the file -x, like quarnel. 1 OUTPUT,
# 2 what made it (the command, as given), 3 .OUTPUT.cmd, 4 the maps, 5 OPTIONS.
define quarnel_pavrin_join_rule
quarnel_pavrin_output.$(call quarnel_pavrin_dollar,$(subst :,_,$(abspath $(1)))) := 1
$(call quarnel_pavrin_in_rule,$(1)): $(foreach map,$(4),$(call quarnel_pavrin_in_rule,$(map))) $(call quarnel_pavrin_in_rule,$(call quarnel_pavrin_program,$(PAVRIN)))$(call quarnel_pavrin_force_unless,$(file <$(3)),$(2)) | $(call quarnel_pavrin_in_rule,$(abspath $(dir $(1))))
	$(quarnel_pavrin_at)$(call quarnel_pavrin_say,PAVRIN)$(foreach word,$(PAVRIN) $(5) -o$(1) $(if $(filter -%,$(firstword $(4))),-)$(4),$(call quarnel_pavrin_sh,$(word))) && printf '%s\n' $(call quarnel_pavrin_sh,$(2)) >$(call quarnel_pavrin_sh,$(3)) || { rm -f $(call quarnel_pavrin_sh,$(1)); printf '%s\n' $(call quarnel_pavrin_sh,pavrin_join: $(1) failed) >&2; exit 1; }
endef

quarnel_tables = $(eval quarnel_pavrin_goal := $(.DEFAULT_GOAL))$(call quarnel_pavrin_check_tables,$(3),$(4))$(call quarnel_pavrin_check_names,quarnel_tables,$(1),$(2))$(call quarnel_pavrin_tables,$(1),$(2),$(strip $(3)),$(4),$(words x $(quarnel_pavrin_calls)))$(eval .DEFAULT_GOAL := $(quarnel_pavrin_goal))
pavrin_join = $(eval quarnel_pavrin_goal := $(.DEFAULT_GOAL))$(call quarnel_pavrin_check_join,$(3))$(call quarnel_pavrin_check_names,pavrin_join,$(1),$(2))$(if $(quarnel_pavrin_output.$(subst :,_,$(abspath $(1)))),$(error pavrin_join: $(1) is joined twice; give one of the calls another OUTPUT))$(call quarnel_pavrin_folder,$(abspath $(dir $(1))))$(eval $(call quarnel_pavrin_join_rule,$(1),$(strip $(PAVRIN) $(3) -o$(1) $(if $(filter -%,$(firstword $(2))),-)$(strip $(2))),$(dir $(1)).$(notdir $(1)).cmd,$(strip $(2)),$(3)))$(eval .DEFAULT_GOAL := $(quarnel_pavrin_goal))
