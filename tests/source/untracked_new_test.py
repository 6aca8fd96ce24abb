#!/usr/bin/env python3
"""Fails when src/ creates or deletes a heap object past the memory tracker.

Every `new` and `delete` in src/ must go through osk::CTrackedFactory
(src/standard/tracked_factory.h), so the console's memory tracking sees the
object, or be named in ALLOWED below together with the reason it cannot.
Comments, string and character literals, deleted functions (`= delete`) and
placement new are not allocations and are skipped.

Usage: untracked_new_test.py SRC_DIR
"""

import os
import re
import sys
import unittest

# The factory itself is the one place that may say `new` and `delete`.
FACTORY = "standard/tracked_factory.h"

# (file under src/, the code that starts at the keyword, reason). An entry
# that no longer matches anything fails the test as well, so the list only
# shrinks with the code.
ALLOWED = [
    # The tracker and the smart pointer's own bookkeeping.
    ("standard/mem_track.cpp", "new CRegister",
     "the tracker's own register: it cannot register itself, and it lives until the process ends"),
    ("standard/general_ptr.h", "new Control",
     "the shared control block of a CGeneralPtr; the pointee it owns is the tracked object"),
    ("standard/general_ptr.h", "delete control", "the control block above"),
    # Raw byte and scalar arrays, not objects.
    ("standard/hex_store.cpp", "new char[", "byte buffer of a large hex store"),
    ("standard/hex_store.cpp", "new uint8_t[", "byte storage of the hex store"),
    ("standard/hex_store.cpp", "delete[] _data", "byte storage of the hex store"),
    ("tftp/tftp_server/tftp_packet.cpp", "new (std::nothrow) unsigned char[",
     "packet buffer; refused allocation is reported to the client"),
    ("tftp/tftp_server/tftp_packet.cpp", "delete[] _buffer", "packet buffer"),
    ("extended/task.h", "new std::atomic<pthread_t>[", "the task's table of thread ids"),
    ("standard/datagram_batch.cpp", "new unsigned char[",
     "the receive batch's datagram slots, left uninitialised so that only what datagrams bring is touched"),
    # ACE objects: third-party classes, created and destroyed by plain
    # new/delete because ACE itself deletes some of them.
    ("ace_ext/general_reactor_base.cpp", "new ACE_Reactor(", "ACE front of the framework reactor"),
    ("ace_ext/general_reactor_base.cpp", "delete front", "ACE front of the framework reactor"),
    ("ace_ext/reactor_registration_policy.h", "new ACE_Sig_Handler", "ACE signal handler"),
    ("ace_ext/reactor_registration_policy.h", "delete _sig", "ACE signal handler"),
    ("ace_ext/reactor_registration_policy.h", "new ACE_Timer_Heap", "ACE timer queue"),
    ("ace_ext/reactor_registration_policy.h", "delete _timerQueue", "ACE timer queue"),
    ("extended/reactor_task.h", "new ACE_Reactor(", "ACE front of the task's reactor"),
    ("extended/master_controller.cpp", "new ACE_DLL(", "ACE library handle of a plug-in"),
    ("rconsole_base/rconsole_acceptor.h", "new (std::nothrow) ACE_SOCK_Acceptor", "ACE listening socket"),
    ("rconsole_base/rconsole_acceptor.h", "delete entry.second", "ACE listening socket"),
    ("tftp/tftp_server/tftp_controller.cpp", "new ACE_Reactor(", "ACE front of the engine's reactor"),
    # Reactor implementations handed to an ACE_Reactor that owns them: ACE
    # deletes them with plain delete, which would leave them registered.
    ("extended/reactor_task.h", "new Reactor", "implementation owned and deleted by ACE_Reactor"),
    ("tftp/tftp_server/tftp_controller.cpp", "new osk::CSTReactor", "implementation owned and deleted by ACE_Reactor"),
    # The engine's parts, made once per start of the engine. Not routed yet:
    # tftp_server.cpp is changed only where transfers and events are made.
    ("tftp/tftp_server/tftp_server.cpp", "new CTFTPPolicy(", "engine part, once per configuration read"),
    ("tftp/tftp_server/tftp_server.cpp", "new CTFTPPacket(", "engine part, once per start"),
    ("tftp/tftp_server/tftp_server.cpp", "new CRequestProcessor(", "engine part, once per start"),
    ("tftp/tftp_server/tftp_server.cpp", "new CUDPFrontend(", "engine part, once per start"),
    ("tftp/tftp_server/tftp_server.cpp", "new CTFTPIO(", "engine part, once per start"),
    ("tftp/tftp_server/tftp_server.cpp", "new CTransferHandler(", "engine part, once per start"),
]

KEYWORD = re.compile(r"\b(new|delete)\b")
LITERAL_OR_COMMENT = re.compile(
    r'//[^\n]*|/\*.*?\*/|R"([^(\s]*)\(.*?\)\1"|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)


def blank(match):
    """The match with everything but line feeds turned into spaces."""
    return re.sub(r"[^\n]", " ", match.group(0))


def code_only(text):
    """The source with comments and literals blanked, lines kept in place."""
    text = re.sub(r"^[ \t]*#[ \t]*include[^\n]*", "", text, flags=re.M)
    return LITERAL_OR_COMMENT.sub(blank, text)


def allocations(text):
    """(line, code from the keyword on) of every new and delete in text."""
    found = []
    code = code_only(text)
    for number, line in enumerate(code.split("\n"), start=1):
        for match in KEYWORD.finditer(line):
            rest = line[match.start():]
            before = line[:match.start()].rstrip()
            if match.group(1) == "delete" and before.endswith("="):
                continue  # a deleted function
            if match.group(1) == "new" and re.match(r"new\s*\((?!\s*std::nothrow)", rest):
                continue  # placement new
            if before.endswith("operator"):
                continue
            found.append((number, rest.strip()))
    return found


def untracked(src_dir, allowed=ALLOWED):
    """(problems, unused allow-list entries) for the tree under src_dir."""
    problems = []
    used = set()
    for root, dirs, files in os.walk(src_dir):
        dirs.sort()
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            relative = os.path.relpath(path, src_dir).replace(os.sep, "/")
            if relative == FACTORY:
                continue
            with open(path, encoding="utf-8", errors="replace") as source:
                text = source.read()
            for number, rest in allocations(text):
                entry = next((i for i, (file, start, _) in enumerate(allowed)
                              if file == relative and rest.startswith(start)), None)
                if entry is None:
                    problems.append("src/%s:%d: untracked allocation: %s" % (relative, number, rest))
                else:
                    used.add(entry)
    unused = ["%s: %s" % (file, start) for i, (file, start, _) in enumerate(allowed) if i not in used]
    return problems, unused


class ScannerTest(unittest.TestCase):
    """The scanner itself, on made-up sources."""

    def test_finds_new_and_delete_in_code(self):
        text = '#include "thing.h"\n\nvoid f()\n{\n    auto* p = new Thing(1);\n    delete p;\n}\n'
        self.assertEqual([(5, "new Thing(1);"), (6, "delete p;")], allocations(text))

    def test_skips_what_is_no_allocation(self):
        text = ('#include <new>\n'
                '// a new comment, delete it\n'
                '/* new\n   delete */\n'
                'const char* kText = "new \\"delete\\" text";\n'
                "char c = 'n';\n"
                'T(const T&) = delete;\n'
                'void* p = new (buffer) T;\n'
                'void* operator new(size_t);\n')
        self.assertEqual([], allocations(text))

    def test_nothrow_new_is_an_allocation(self):
        self.assertEqual([(1, "new (std::nothrow) T;")], allocations("p = new (std::nothrow) T;\n"))


class SourceTreeTest(unittest.TestCase):
    """src/ creates and deletes through the tracked factory only."""

    src_dir = None

    def test_every_new_and_delete_is_tracked_or_allowed(self):
        problems, unused = untracked(self.src_dir)
        self.assertEqual([], problems, "\n" + "\n".join(problems) +
                         "\nCreate it with osk::CTrackedFactory::create and release it with destroy "
                         "(or a CGeneralPtr / osk::CTrackedPtr), or add it to ALLOWED with its reason.")
        self.assertEqual([], unused, "allow-list entries that match nothing any more")

    def test_allow_list_gives_reasons(self):
        for file, start, reason in ALLOWED:
            self.assertTrue(reason.strip(), "%s: %s" % (file, start))


if __name__ == "__main__":
    if len(sys.argv) < 2 or not os.path.isdir(sys.argv[1]):
        sys.exit("usage: untracked_new_test.py SRC_DIR")
    SourceTreeTest.src_dir = sys.argv.pop(1)
    unittest.main(verbosity=2)
