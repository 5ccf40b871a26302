# quarnel-pavrin.mk: GNU make rules that run quarnel and pavrin.
#
#   include /usr/share/quarnel-pavrin/quarnel-pavrin.mk
#   $(call quarnel_tables,OUT_DIR,FILE.anm ...[,OPTIONS])
#   $(call pavrin_join,OUTPUT,FILE.map ...[,OPTIONS])
#
# quarnel_tables adds, for each .anm file, a rule that makes OUT_DIR/NAME.c,
# NAME being the file's name (walk.anm gives walk.anm.c, with tables named
# anm_walk_anm_...). OPTIONS may hold -l (lower-case names) and -r (sprites
# last-first). quarnel runs in the file's folder on its bare name, so the
# text holds no build path; it writes a temporary file that is renamed only
# when quarnel succeeded, so a failed run leaves no NAME.c behind. These are
# the bytes that quarnel_add_tables() makes in CMake. NAME.c includes no
# header: compile it through a file that includes the header defining SEQ,
# SPT, seq(), spt() and NULL, then NAME.c.
#
# pavrin_join adds a rule that makes OUTPUT from the maps, with pavrin
# OPTIONS such as -x (side by side), -wN, -hN, -cN. pavrin itself leaves no
# output behind when it fails.
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

# quarnel reads the argument --x as the file -x, and -- as standard input.
define quarnel_pavrin_tables_rule
$(if $(filter -,$(notdir $(2))),$(error $(2): quarnel reads a file named - only as standard input; rename it))
$(1)/$(notdir $(2)).c: $(2) $(call quarnel_pavrin_program,$(QUARNEL))
	@mkdir -p $$(@D)
	cd $$(<D) && $(call quarnel_pavrin_command,$(QUARNEL)) $(3) $$(if $$(filter -%,$$(<F)),-)$$(<F) >$$(abspath $$@).tmp || { rm -f $$(abspath $$@).tmp $$(abspath $$@); exit 1; }
	mv -f $$(abspath $$@).tmp $$(abspath $$@)
endef

# pavrin reads a first argument --x as the file -x, like quarnel.
define quarnel_pavrin_join_rule
$(1): $(2) $(call quarnel_pavrin_program,$(PAVRIN))
	@mkdir -p $$(@D)
	$(PAVRIN) $(3) -o$$@ $(if $(filter -%,$(firstword $(2))),-)$(strip $(2))
endef

# A rule added before the including makefile's first one would become its
# default goal; the goal is put back as it was.
quarnel_tables = $(eval quarnel_pavrin_goal := $(.DEFAULT_GOAL))$(foreach file,$(2),$(eval $(call quarnel_pavrin_tables_rule,$(1),$(file),$(3))))$(eval .DEFAULT_GOAL := $(quarnel_pavrin_goal))
pavrin_join = $(eval quarnel_pavrin_goal := $(.DEFAULT_GOAL))$(eval $(call quarnel_pavrin_join_rule,$(1),$(2),$(3)))$(eval .DEFAULT_GOAL := $(quarnel_pavrin_goal))
