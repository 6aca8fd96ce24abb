#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<target>/: small inputs in each
harness's input layout, taken from the cases of the unit tests. Run it again
after changing a harness's layout; the files it writes are committed."""

import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def chunk(data):
    """A length-prefixed piece (see fuzz/support/fuzz_bytes.h)."""
    if isinstance(data, str):
        data = data.encode("latin-1")
    return struct.pack(">H", len(data)) + data


def b(text):
    return text.encode("latin-1") if isinstance(text, str) else text


def write(target, seeds):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    # Only the generated seeds are replaced: inputs kept from fuzzing runs
    # (regressions, named after what they found) stay.
    for old in os.listdir(folder):
        if old.startswith("seed-"):
            os.remove(os.path.join(folder, old))
    for i, seed in enumerate(seeds):
        with open(os.path.join(folder, "seed-%02d" % i), "wb") as out:
            out.write(seed)


def word(value):
    return struct.pack(">H", value)


def request(op, name, mode="octet", options=()):
    out = word(op) + b(name) + b"\0" + b(mode) + b"\0"
    for key, value in options:
        out += b(key) + b"\0" + b(value) + b"\0"
    return out


def ack(block):
    return word(4) + word(block)


def data(block, payload):
    return word(3) + word(block) + b(payload)


def error(code, text):
    return word(5) + word(code) + b(text) + b"\0"


def string_map():
    return [
        b"\x00" + chunk("%a%-%b%\\n\\x41") + b"a=1\nb=2\nc=3s\nd=250ms\ne=true\nf=-7\n",
        b"\x01" + chunk("") + b"key=value,other=x=y,empty=,=novalue,noequals",
        b"\x12" + chunk("\\x4") + b"a=1\\\nb;c=2;d=\\;e",
        b"\x08" + chunk("%A%") + b"A=upper\na=lower\nA=again\n",
        b"\x03" + chunk("%x%") + b"x=18446744073709551616\r\ny=1e308\r\nz=0x10\r\n",
    ]


def config_file():
    conf = ("tftp.virtual_root=/srv/tftp\ntftp.timeout=4s\ntftp.min_timeout=250ms\ntftp.max_blocksize=1428\n"
            "tftp.access.allow=[$SRC.IP() == 127.0.0.1]\ntftp.overwrite.allow=false\nsystem.log.levels=error,warning\n")
    legacy = "virtual_root=/srv/old\ntimeout=2\ndaemon_port=1069\nallow_access=true\n\n\n"
    return [
        b"\x00" + chunk(conf),
        b"\x01" + chunk(conf) + b"set x=1\nadd tftp.timeout=9s\ndel tftp.overwrite.allow\nbogus line\nset =\n",
        b"\x01" + chunk(legacy) + b"set daemon_listen_on=127.0.0.1\ndel timeout\n",
        b"\x00" + chunk("tftp.max_connections=abc\ntftp.preprocessor=[1+\ntftp.timeout=-1us\n"),
    ]


def spec_file():
    return [
        chunk("spec_name=a\n\ninclude=b.spec,c.spec\n\nname=x\ncount=3\n")
        + chunk("spec_name=b\nversion=1\n\n# comment\nname=y\ncount=oops\n\n")
        + b"spec_name=c\n\nid=1\nen_US=Failed to start task.\nde_DE=Nicht.\n",
        chunk("spec_name=a\n\ninclude=a.spec\n") + chunk("") + b"",
        chunk("no header here\n") + chunk("en_US=x\n\nid=2\n") + b"",
        chunk("spec_name=a\n\ninclude=b.spec\n") + chunk("spec_name=b\n\ninclude=c.spec\n") + b"spec_name=c\n\ninclude=b.spec\n",
    ]


def statement_file():
    header = "spec_name=statements\n\n"
    hosts = ("name=select_host\ngroup=hosts\narg_names=ADDR, MASK\narg_types=ip,unsigned_long\n"
             "statement=SELECT * FROM osk_hosts WHERE ADDR = ? AND MASK = ?\nprecompile=true\n"
             "function_name=host\ncursor_num=1001\ngeneric_args=a=b\ndescription=One host\n")
    return [
        chunk(header + hosts + "\ninclude=b.spec\n") + chunk("spec_name=more\n\nname=count\ngroup=hosts\n"
                                                            "arg_names=\narg_types=\nstatement=SELECT COUNT(*) FROM osk_hosts\n") + b"",
        chunk(header + "name=a\ngroup=g\narg_names=\narg_types=\nstatement=S\ncursor_num=7\n\n"
              "name=b\ngroup=g\narg_names=\narg_types=\nstatement=S\ncursor_num=7\n") + chunk("") + b"",
        chunk(header + "name=n\ngroup=g\narg_names=a,b\narg_types=long\nstatement=S\n") + chunk("") + b"",
        chunk(header + "name=\x01\xff\ngroup=\x80\narg_names=\narg_types=\xfe\nstatement=S\n") + chunk("") + b"",
    ]


def table_group_file():
    return [
        b"# groups\ngroup=hosts\ntables=osk_hosts, osk_nets ,\ndescription=Hosts\n\n"
        b"group=policies\ntables=tftp_policy,osk_hosts\n\ngroup=empty\ntables=\n",
        b"group=a\ntables=x\n\ngroup=a\ntables=y\n",
        b"group=a\ntables=x\ntable=y\n",
        b"# c\n\ngroup=a\ndescription=d\n",
    ]


def expression():
    texts = [
        "[$IF($STARTSWITH($FILE.NAME(), \"cm/\"), \"/srv/tftp/cm\", \"/srv/tftp/other\")]",
        "2*3+4", "-(1+2)*-3", "true && (1 < 2 || !false) ? 'a' : \"b\"",
        "$MID(\"hello\", 1, 3) == \"ell\"", "$MATCH(\"cm/a.cfg\", \"cm/[a-c]*.cfg\")",
        "$COND(0, 1, 2) & 7 | 8 ^ ~1", "$EVAL(\"1+1\", \"[2*2]\")",
        "$IP.MAP(10.0.0.1) == $IP(\"::ffff:10.0.0.1\")", "$BASE64.DECODE($BASE64.ENCODE(\"abc\"))",
        "$DECRYPT($ENCRYPT(1, 2, 3))", "$SDECRYPT($SENCRYPT(\"x\"))", "192.168.0.1:69 == 192.168.0.1:69",
        "01-02-03 + 04", "$DEFAULT($UNKNOWN(), 5) / 0",
        "$SRC.IP() == 127.0.0.1 && $SRC.PORT() > 1024", "$FILE.NAME(\"cm/other.cfg\") && $FILE.FQPN()",
        "$TSIZE() + $BLKSIZE() + $TIMEOUT()", "$BINARY(1) || $ASCII()", "$DOWNLOAD() != $UPLOAD()",
        "$PROV.POLICY(\"limit\", \"first\", \"last\")", "$PROV.SNMP_POLICY(\"snmp\", \"community\")",
        "$DB.KEYVALUE(\"a\", \"b\", \"c\")", "$DB.KEYVALUE.EXISTS(1, 2, 3, \"yes\")",
        "$DB.KEYVALUE.MANAGED_RANGE(1,2,3,4,5)", "$SRC.HOSTNAME()", "$TIME.FORMAT.UTC(0, \"%Y\")",
        "x = 5, x * 2", "$INT(\"12\") + $LEN(\"abc\") + $INSTR(\"abc\", \"c\")", "$MAC(\"00:11:22:33:44:55\")",
    ]
    return [bytes([i % 4]) + b(text) for i, text in enumerate(texts)]


def tftp_request():
    return [
        request(1, "cm/modem.cfg"),
        request(2, "upload.bin", "netascii", [("tsize", "1000")]),
        request(1, "f", "OCTET", [("blksize", "1428"), ("timeout", "3"), ("tsize", "0")]),
        request(1, "f", "octet", [("BlkSize", "8"), ("blksize", "99999"), ("unknown", "x")]),
        request(1, "f", "octet", [("timeout", "0"), ("tsize", "-1"), ("blksize", "4294967296")]),
        word(1) + b"no-terminator",
        word(6) + b"blksize\0" + b"512\0",
        error(1, "File not found"),
    ]


def tftp_transfer():
    def seq(*packets):
        return b"".join(chunk(p) for p in packets)
    download = bytes([0x00, 0x00]) + seq(*[ack(n) for n in range(1, 7)])
    download_opts = bytes([0x1C | (5 << 5), 0x00]) + seq(ack(0), ack(1), ack(1), ack(2), ack(3))
    upload = bytes([0x01, 0x00]) + seq(data(1, "x" * 512), data(2, "y" * 100), data(2, "y" * 100))
    upload_tsize = bytes([0x15 | (1 << 5), 0x02]) + seq(data(1, "12345678"), data(2, "abcdefgh"),
                                                           data(3, "z" * 8), data(4, "q"))
    wrong = bytes([0x00, 0x00]) + seq(data(1, "x"), ack(1), error(3, "full"))
    garbage = bytes([0x01, 0x00]) + seq(b"\x00", b"", word(9) + b"xx", ack(0), data(0, ""), data(1, ""))
    return [download, download_opts, upload, upload_tsize, wrong, garbage]


def console_commands():
    return [
        b"\x00info\n\n",
        b"\x03set_properties\ntftp.timeout=4s\nsystem.log.levels=error\n\n",
        b"\x07help\r\n\r\n\r\n\nget_properties\n\n",
        b"\x01code=ack\nmessage=done\n\nrecord=1\ncode=nak\nmessage=no\n\n",
        b"\x05\n\n\n\nexit\n\n",
    ]


def console_login():
    def block(name, version):
        raw = bytearray(1024)
        raw[:len(name)] = b(name)
        raw[254] = version
        for i in range(256, 1024):
            raw[i] = (i * 37) & 0xFF
        return bytes(raw)
    password = "6A-3F-01-99-C2-7B-00-10"
    return [
        chunk(block("", 1)) + chunk(password) + b"info\n\n\0\0",
        chunk(block("operator", 0)) + chunk("") + b"12345678",
        chunk(block("x" * 249, 255)) + chunk("zz-zz") + b"",
        chunk(b"\0" * 10) + chunk("01") + b"abcdefghabcdefgh",
    ]


PRST_TYPES = ["access_id", "access_rights", "any", "bool", "boot_proto", "date", "domain_group_id", "domain_id",
              "double", "expression", "float", "hex_store", "integer", "ip", "long", "numeric", "object", "short",
              "string", "time", "time_stamp", "unsigned_long", "unsigned_short", "text_blob", "no_such_type"]


def prst_format():
    def value(type_name, text):
        return b"\x00" + bytes([PRST_TYPES.index(type_name)]) + b(text)

    def template(where, types, args=None, named=None):
        out = b"\x01" + bytes([len(types)]) + bytes(PRST_TYPES.index(t) for t in types) + chunk(where)
        if named is None:
            return out + b"\x00" + chunk(args)
        return out + b"\x01" + b"".join(chunk(v) for v in named)

    return [
        value("string", "O'Brien"), value("long", "1,2,3"), value("string", "a,b"), value("text_blob", "x"),
        value("ip", "10.1.2.3"), value("bool", "yes"), value("long", "abc"), value("access_rights", "read,write"),
        value("time_stamp", "Sun Sep  9 01:46:40 2001,Thu Jan  1 00:00:00 1970"), value("hex_store", "0A-FF"),
        value("boot_proto", "pxe,it's"), value("double", "1.5e3,-2"),
        template("T.NAME = ? AND T.C > ? AND T.ENABLED = ?", ["string", "long", "bool"], "abc,5,true"),
        template("T.PK IN (?) AND T.NAME = ?", ["long", "string"], named=["1,2,3", "Smith, J."]),
        template("T.NAME = ?", ["string"], "x' OR '1'='1"),
        template("T.NAME = ?", ["any"], named=["1; DROP TABLE tftp_policy"]),
        template("T.PK = ?", ["long"], named=["--"]),
        template("T.PK -? > 0", ["long"], "-1"),
        template("T.NAME LIKE '?%' AND \"Odd?\" = ? /* ? */ OR T.Y = ? -- ?", ["long", "long"], "7,8"),
        template("T.A IN (?)", ["ip"], named=["10.0.0.1,10.0.0.2"]),
    ]


# The classes of fuzz/object_commands_fuzz.cpp, in its order.
OBJECT_CLASSES = ["policy", "domain", "domain_group", "device_account", "user_account", "access_control",
                  "capability", "user_role", "keyvalue", "sql_query", "sql_query_group"]


def object_commands():
    def command(class_name, text, reader=False, attributes=True, unpacked=False):
        choice = OBJECT_CLASSES.index(class_name) | (0x10 if reader else 0) | (0x20 if attributes else 0)
        return bytes([choice | (0x40 if unpacked else 0)]) + b(text)

    return [
        command("policy", "name=P\ndescription=d\ncode=ack\npager=a\n"),
        command("policy", "where=T.NAME = 'x'\ncount=7\ndepth=2\nbulk=3\nsort_property=name\nsort_column=PK\n"
                "sort_order=desc\npager_type=db\n"),
        command("sql_query", "query=by-class\nargs=docsis,1\n", attributes=False),
        command("sql_query", "name=by-class\nargs=aclass:string\nwhere_template=T.CLASS = ?\n"),
        command("policy", "where=T.PK=1\nquery=x17\n"),
        command("policy", "count=abc\nbulk=99999999999999999999\nsort_order=up\npager_type=rows\n"),
        command("policy", "join=JOIN osk_domains D ON D.PK = T.PK\n"),
        command("policy", "where=(T.NAME = 'a' OR T.NAME = 'b') AND T.PK > 3\n", reader=True),
        command("policy", "where=1=1) OR (1=1\n", reader=True),
        command("policy", "where=T.PK = 1; DELETE FROM tftp_policy\n"),
        command("policy", "where=T.NAME = ')(;--/*'\n", reader=True),
        command("policy", "where=T.NAME = 'O''Brien)'\n", reader=True),
        command("policy", "where=T.PK IN (SELECT PK FROM osk_accounts WHERE PASS LIKE 'a%')\n", reader=True),
        command("policy", "where=T.SELECTED = 1 AND T.NAME = 'select'\n", reader=True),
        command("policy", "name=Boot\ndescription=boot files\ndata=file=boot.img\n"),
        command("policy", "name=U\ndata tftp.root=/srv/b\n-data old\nenabled=false\n", unpacked=True),
        command("policy", "description=after\ndata=k=w\n", unpacked=True),
        command("domain", "name=Field\ndescription=devices in the field\npriority=5\n"),
        command("domain_group", "name=G\ndescription=g\n"),
        command("user_role", "name=Lab Operators\ncapabilities=policy:read\n"),
        command("user_account", "name=alice\npass=secret\nlocale=en_US\nacl=Lab Operators\nacl+=x\n"),
        command("device_account", "name=modem-1\nclass=docsis\nacl=Field\nacl-=Field\n"),
        command("capability", "target_class=policy\nrights=read\nno_such_attribute=1\n"),
        command("access_control", "where=T.PK > 0\nbulk=10\n"),
        command("keyvalue", "class=replay\nsubclass=s\nkey=k\nvalue=v\noid=12\nmod_time=Thu Jan  1 00:00:00 1970\n"),
        command("sql_query_group", "sort_property=name\nsort_order=ASC\ncount= 12 \n", attributes=False),
    ]


def policy_text():
    def policy(text, stored=None, format_text="", unpacked=False, as_text=True):
        choice = (1 if unpacked else 0) | (2 if stored is not None else 0) | (4 if as_text else 0)
        return bytes([choice]) + chunk(format_text) + chunk(stored or "") + b(text)

    return [
        policy("name=Packed\ndescription=one entry\nenabled=false\n", stored="tftp.root=/srv/a\n"),
        policy("name=P\ndata=a=1\n", stored="a=1\nb=2\n\n", as_text=False),
        policy("name=Unpacked\ndata tftp.root=/srv/b\ndata tftp.blksize=1428\n", format_text="UNPACKED"),
        policy("description=after\ndata=k=w\n", stored="k=v\n", unpacked=True),
        policy("-data drop\ndata change=4\ndata new=5\n", stored="keep=1\ndrop=2\nchange=3\n",
               format_text="unpacked"),
        policy("data k=one\n", stored="k=a\nk=b\nother=c\n", unpacked=True, as_text=False),
        policy("name=Five Policy\ndata=k=five\ndomains=Policy Five\n", format_text="Packed"),
        policy("oid=17\nmod_time=Sun Sep  9 01:46:40 2001\nenabled=yes\n", format_text="bogus"),
        policy("datax=1\ndata =2\n-data\n", stored="=v\nk\n", unpacked=True),
    ]


def main():
    for name, make in [("string_map", string_map), ("config_file", config_file), ("spec_file", spec_file),
                       ("statement_file", statement_file), ("table_group_file", table_group_file),
                       ("expression", expression), ("tftp_request", tftp_request),
                       ("tftp_transfer", tftp_transfer), ("console_commands", console_commands),
                       ("console_login", console_login), ("prst_format", prst_format),
                       ("object_commands", object_commands), ("policy_text", policy_text)]:
        write(name, make())


if __name__ == "__main__":
    main()
