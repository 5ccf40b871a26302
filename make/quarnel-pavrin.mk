# quarnel-pavrin.mk: GNU make (4.0 or later) rules that run quarnel and pavrin.
#
#   include /usr/share/quarnel-pavrin/quarnel-pavrin.mk
#   $(call quarnel_tables,OUT_DIR,FILE.anm ...[,OPTIONS[,HEADER]])
#   $(call pavrin_join,OUTPUT,FILE.map ...[,OPTIONS])
#
# quarnel_tables adds, for each .anm file, a rule that makes OUT_DIR/NAME.c,
# NAME being the file's name (walk.anm gives walk.anm.c, with tables named
# anm_walk_anm_...). OPTIONS may hold -l (lower-case names) and -r (sprites
# last-first). quarnel runs in the file's folder on its bare name, so the
# text holds no build path; it writes a temporary file that is renamed only
# when quarnel succeeded, so a failed run leaves no NAME.c behind. These are
# the bytes that quarnel_add_tables() makes in CMake.
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
# pavrin_join adds a rule that makes OUTPUT from the maps, with pavrin
# OPTIONS such as -x (side by side), -wN, -hN, -cN. pavrin itself leaves no
# output behind when it fails.
#
# Mistakes stop make before any rule runs: within one OUT_DIR, over every
# call that names it, two files with the same name, or whose tables get the
# same label; two pavrin_join calls for one OUTPUT.
#
# Set QUARNEL and PAVRIN before the calls: each rule also depends on the
# program, when it is a file or found on PATH, so a new tool remakes the
# output. The calls add these rules only: the including makefile's default
# goal and special targets stay as they were.

QUARNEL ?= quarnel
PAVRIN ?= pavrin

# The file that runs for a command: its first word when that has a '/', else
# that word's first match on PATH; nothing when there is none.
quarnel_pavrin_program = $(firstword $(if $(findstring /,$(firstword $(1))),$(wildcard $(firstword $(1))),$(wildcard $(addsuffix /$(firstword $(1)),$(subst :, ,$(PATH))))))

# A command that still works after a cd: words with a '/' made absolute.
quarnel_pavrin_command = $(foreach word,$(1),$(if $(findstring /,$(word)),$(abspath $(word)),$(word)))

# The texts of NAME.h and the wrapper, shared with the CMake package.
quarnel_pavrin_template := $(dir $(lastword $(MAKEFILE_LIST)))quarnel-pavrin-template.mk
include $(quarnel_pavrin_template)

# Stops make when KEY (2) of SPACE (1) is already taken, naming the file that
# took it and FILE (3) with PROBLEM (4); else FILE takes it.
quarnel_pavrin_claim = $(if $(quarnel_pavrin_$(1).$(2)),$(error quarnel_tables: $(3) and $(quarnel_pavrin_$(1).$(2)) $(4)),$(eval quarnel_pavrin_$(1).$(2) := $(3)))

# The label quarnel names a file's tables after: "anm_" and NAME (2), with -l
# among OPTIONS (1) lower-cased, then every byte outside [0-9A-Za-z_] made _.
quarnel_pavrin_label = $(shell printf '%s' 'anm_$(subst ','\'',$(2))' | $(if $(filter -l%,$(1)),LC_ALL=C tr A-Z a-z |) LC_ALL=C tr -c 0-9A-Za-z_ _)

# The template's text (1) for NAME (2), LABEL (3) and HEADER (4).
quarnel_pavrin_fill = $(subst @HEADER@,$(4),$(subst @LABEL@,$(3),$(subst @NAME@,$(2),$(1))))

# quarnel reads the argument --x as the file -x, and -- as standard input.
# 1 OUT_DIR, 2 FILE.anm, 3 OPTIONS.
define quarnel_pavrin_tables_rule
$(if $(filter -,$(notdir $(2))),$(error $(2): quarnel reads a file named - only as standard input; rename it))
$(1)/$(notdir $(2)).c: $(2) $(call quarnel_pavrin_program,$(QUARNEL))
	@mkdir -p $$(@D)
	cd $$(<D) && $(call quarnel_pavrin_command,$(QUARNEL)) $(3) $$(if $$(filter -%,$$(<F)),-)$$(<F) >$$(abspath $$@).tmp || { rm -f $$(abspath $$@).tmp $$(abspath $$@); exit 1; }
	mv -f $$(abspath $$@).tmp $$(abspath $$@)
endef

# NAME.h and the wrapper; the recipe is expanded whole before it runs, so
# the folder is made by $(shell) before $(file) writes into it.
# 1 OUT_DIR, 2 NAME, 3 label, 4 HEADER's file name.
define quarnel_pavrin_header_rules
$(1)/$(2).h: $(quarnel_pavrin_template)
	$$(shell mkdir -p $$(@D))$$(file >$$@,$$(call quarnel_pavrin_fill,$$(quarnel_pavrin_header_text),$(2),$(3),$(4)))
$(1)/wrap/$(2).c: $(1)/$(2).h $(1)/$(2).c
	$$(shell mkdir -p $$(@D))$$(file >$$@,$$(call quarnel_pavrin_fill,$$(quarnel_pavrin_wrapper_text),$(2),$(3),$(4)))
endef

# One .anm file: 1 OUT_DIR, 2 FILE.anm, 3 OPTIONS, 4 HEADER, 5 NAME, 6 label.
quarnel_pavrin_tables_file = $(call quarnel_pavrin_claim,name,$(subst :,_,$(abspath $(1)))/$(5),$(2),have the same name so their tables would overwrite each other in $(1))$(call quarnel_pavrin_claim,label,$(subst :,_,$(abspath $(1)))/$(6),$(2),give the same table names ($(6)_seq and $(6)_ptr) in $(1))$(eval $(call quarnel_pavrin_tables_rule,$(1),$(2),$(3)))$(if $(4),$(eval $(call quarnel_pavrin_header_rules,$(1),$(5),$(6),$(notdir $(4)))))

# pavrin reads a first argument --x as the file -x, like quarnel.
define quarnel_pavrin_join_rule
$(1): $(2) $(call quarnel_pavrin_program,$(PAVRIN))
	@mkdir -p $$(@D)
	$(PAVRIN) $(3) -o$$@ $(if $(filter -%,$(firstword $(2))),-)$(strip $(2))
endef

# A rule added before the including makefile's first one would become its
# default goal; the goal is put back as it was.
quarnel_tables = $(eval quarnel_pavrin_goal := $(.DEFAULT_GOAL))$(foreach file,$(2),$(call quarnel_pavrin_tables_file,$(1),$(file),$(3),$(4),$(notdir $(file)),$(call quarnel_pavrin_label,$(3),$(notdir $(file)))))$(eval .DEFAULT_GOAL := $(quarnel_pavrin_goal))
pavrin_join = $(eval quarnel_pavrin_goal := $(.DEFAULT_GOAL))$(if $(quarnel_pavrin_output.$(subst :,_,$(abspath $(1)))),$(error pavrin_join: $(1) is joined twice; give one of the calls another OUTPUT),$(eval quarnel_pavrin_output.$(subst :,_,$(abspath $(1))) := 1))$(eval $(call quarnel_pavrin_join_rule,$(1),$(2),$(3)))$(eval .DEFAULT_GOAL := $(quarnel_pavrin_goal))
