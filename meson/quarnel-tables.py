#!/usr/bin/env python3
# Writes what a Meson game compiles from its .anm files, the same bytes as
# quarnel_add_tables() in CMake and quarnel_tables in the Make fragment.
# Run by the Python that runs Meson, through the variables that meson.build
# exports (its header says how a game uses them):
#
#   quarnel-tables.py tables TEMPLATE QUARNEL HEADER [-l] [-r] FILE.anm NAME.c NAME.h
#   quarnel-tables.py wrapper TEMPLATE FILE.anm WRAPPER
#   quarnel-tables.py labels [-l] FILE.anm...
#
# TEMPLATE is make/quarnel-pavrin-template.mk, whose texts the Make fragment
# and the CMake functions read too.
import os
import re
import subprocess
import sys


def fail(text):
    sys.exit('quarnel-tables: ' + text)


# The name stem quarnel gives the tables of a file it reads as NAME: "anm_"
# and the name, with -l lower-casing it, then every byte outside
# [0-9A-Za-z_] (each byte of a non-ASCII character, too) made '_'.
def label(name, lower):
    stem = b'anm_' + os.fsencode(name)
    if lower:
        stem = stem.lower()
    return re.sub(rb'[^0-9A-Za-z_]', b'_', stem)


# One text of the template: the lines between "define quarnel_pavrin_PART_text"
# and its "endef", with the file's name, label and header filled in.
def template_text(path, part, name, table_label, header):
    with open(path, 'rb') as template:
        text = template.read()
    start = b'\ndefine quarnel_pavrin_' + part + b'_text\n'
    body = text[text.index(start) + len(start):]
    body = body[:body.index(b'\nendef\n') + 1]
    for key, value in ((b'@NAME@', os.fsencode(name)), (b'@LABEL@', table_label),
                       (b'@HEADER@', os.fsencode(header))):
        body = body.replace(key, value)
    return body


# Files that include NAME.h are compiled again only when its text changed.
def write_if_changed(path, text):
    if os.path.exists(path):
        with open(path, 'rb') as old:
            if old.read() == text:
                return
    with open(path, 'wb') as new:
        new.write(text)


# quarnel shows the name it was given in the text and takes its label from
# it, so it runs in the file's folder on the bare name: no build path in the
# output. It reads "--x" as the file -x. Its output goes to a temporary file
# renamed over NAME.c only on success: quarnel writes part of its text
# before it notices a bad input, and a NAME.c left behind would pass for up
# to date.
def run_quarnel(quarnel, options, source, tables):
    folder, name = os.path.split(os.path.abspath(source))
    if name == '-':
        fail(source + ': quarnel reads a file named - only as standard input; rename it')
    argument = '-' + name if name.startswith('-') else name
    temporary = tables + '.tmp'
    try:
        with open(temporary, 'wb') as out:
            status = subprocess.call([os.path.abspath(quarnel)] + options + [argument],
                                     cwd=folder, stdout=out)
        if status != 0:
            if os.path.exists(tables):
                os.remove(tables)
            fail(source + ' failed')
        os.replace(temporary, tables)
    finally:
        if os.path.exists(temporary):
            os.remove(temporary)
    return name


def make_tables(arguments):
    template, quarnel, header = arguments[:3]
    options = [word for word in arguments[3:] if word in ('-l', '-r')]
    source, tables, declarations = [word for word in arguments[3:] if word not in options]
    name = run_quarnel(quarnel, options, source, tables)
    write_if_changed(declarations, template_text(template, b'header', name,
                                                 label(name, '-l' in options),
                                                 os.path.basename(header)))


def make_wrapper(arguments):
    template, source, wrapper = arguments
    write_if_changed(wrapper, template_text(template, b'wrapper', os.path.basename(source), b'', ''))


# One label a line, in the files' order; two files whose tables would get
# the same names are refused, as they would clash when linked together.
def print_labels(arguments):
    lower = '-l' in arguments
    taken = {}
    for source in (word for word in arguments if word != '-l'):
        table_label = label(os.path.basename(source), lower)
        if table_label in taken:
            fail('%s and %s give the same table names (%s_seq, %s_ptr); rename one'
                 % (taken[table_label], source, table_label.decode(), table_label.decode()))
        taken[table_label] = source
        sys.stdout.buffer.write(table_label + b'\n')


COMMANDS = {'tables': make_tables, 'wrapper': make_wrapper, 'labels': print_labels}

if __name__ == '__main__':
    if len(sys.argv) < 2 or sys.argv[1] not in COMMANDS:
        fail('usage: quarnel-tables.py tables|wrapper|labels ARGUMENTS...')
    COMMANDS[sys.argv[1]](sys.argv[2:])
