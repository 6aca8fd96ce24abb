#!/usr/bin/env bash
# The Debian package built from a build tree (CPack over the install rules):
# its files, owners and modes, its dependencies, its maintainer scripts and
# conffiles, lintian's verdict and systemd's verdict on the unit.
# Usage: package_test.sh BUILD_DIR
# Skips (exit 77) when dpkg-deb, lintian or cpack is missing.
set -uo pipefail
build=$(realpath "$1")
for tool in dpkg-deb lintian cpack; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d /tmp/zelvo-package-XXXXXX)
failures=0
check() { # check NAME COMMAND...: PASS when the command succeeds
  local name=$1; shift
  if "$@" >"$work/out" 2>&1; then echo "PASS: $name"; else
    echo "FAIL: $name"; sed 's/^/    /' "$work/out" | head -40; failures=$((failures + 1)); fi
}

if ! (cd "$build" && cpack -G DEB -B "$work/out-deb" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1
fi
deb=$(ls "$work"/out-deb/zelvo-tftpd_*.deb)
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' > "$work/contents"
dpkg-deb -e "$deb" "$work/control"
dpkg-deb -x "$deb" "$work/root"

has() { grep -qE "$1" "$work/contents"; }
check "the daemon in sbin, the console in bin" has ' \./usr/sbin/zelvo-tftpd$' 
check "the console in bin" has ' \./usr/bin/zelvo-console$'
check "the library and every plug-in in lib/zelvo" bash -c "
  for f in libtftp_rconsole.so libtftp_rconsole.so.0 libzelvo_local_fs.so libzelvo_udp_publisher.so libzelvo_firebird_provider.so libzelvo_db_facade.so libzelvo_prometheus_exporter.so; do
    grep -qE \" \\./usr/lib/zelvo/\$f\$\" '$work/contents' || { echo missing \$f; exit 1; }; done"
check "no test plug-in is shipped" bash -c "! grep -E 'test_plugin|not_a_plugin' '$work/contents'"
check "the database scripts and statement files in share/zelvo" bash -c "
  for f in statements.spec table_groups.spec default_init.sql db_versions/ import/; do
    grep -qE \" \\./usr/share/zelvo/\$f\" '$work/contents' || { echo missing \$f; exit 1; }; done"
check "the configuration is 0600 and root's" has '^-rw------- root/root \./etc/zelvo/zelvo-tftpd\.conf$'
check "the unit, the logrotate snippet, three manual pages" bash -c "
  for f in usr/lib/systemd/system/zelvo-tftpd.service etc/logrotate.d/zelvo-tftpd usr/share/man/man8/zelvo-tftpd.8.gz \
           usr/share/man/man5/zelvo-tftpd.conf.5.gz usr/share/man/man1/zelvo-console.1.gz; do
    grep -qE \" \\./\$f\$\" '$work/contents' || { echo missing \$f; exit 1; }; done"
check "nothing under /srv or /var (made by postinst with the service's owner)" bash -c "! grep -E ' \./(srv|var)/' '$work/contents'"
check "the programs find the library in lib/zelvo" bash -c "
  LD_LIBRARY_PATH= '$work/root/usr/sbin/zelvo-tftpd' --version | grep -q '^zelvo-tftpd '"
check "the shipped configuration passes --check-config" \
  "$work/root/usr/sbin/zelvo-tftpd" --check-config --config "$work/root/etc/zelvo/zelvo-tftpd.conf"
check "the shipped configuration with the Prometheus exporter added passes --check-config" bash -c "
  sed 's/^system.plugins=.*/&,zelvo_prometheus_exporter/' '$work/root/etc/zelvo/zelvo-tftpd.conf' > '$work/with-exporter.conf' &&
  grep -q '^system.plugins=.*,zelvo_prometheus_exporter\$' '$work/with-exporter.conf' &&
  '$work/root/usr/sbin/zelvo-tftpd' --check-config --config '$work/with-exporter.conf'"

depends=$(dpkg-deb -f "$deb" Depends)
for dep in 'libace-[0-9.]+' libfbclient2 firebird3.0-server-core adduser libsystemd0 libedit2 init-system-helpers \
           'libprometheus-cpp-core[0-9.]+' 'libprometheus-cpp-pull[0-9.]+'; do
  check "depends on $dep" grep -qE "(^|, )$dep( |,|$)" <<<"$depends"
done
check "conffiles: the configuration and the logrotate snippet" bash -c "
  grep -qx /etc/zelvo/zelvo-tftpd.conf '$work/control/conffiles' &&
  grep -qx /etc/logrotate.d/zelvo-tftpd '$work/control/conffiles'"
for script in postinst prerm postrm; do
  check "$script is an executable shell script that parses" bash -c "
    test -x '$work/control/$script' && sh -n '$work/control/$script'"
done
check "postinst makes the system user and its directories" bash -c "
  grep -q 'adduser --system' '$work/control/postinst' && grep -q '/srv/tftp' '$work/control/postinst' &&
  grep -q 'deb-systemd-helper enable' '$work/control/postinst'"
check "postrm purge removes data, logs and the user" bash -c "
  sed -n '/\"\$1\" = purge/,/^fi/p' '$work/control/postrm' > '$work/purge' &&
  grep -q 'rm -rf /var/lib/zelvo /var/log/zelvo' '$work/purge' && grep -q 'deluser' '$work/purge'"

# lintian: clean apart from the overrides the package carries (each with its
# reason in /usr/share/lintian/overrides/zelvo-tftpd).
check "lintian finds no error and no warning" lintian --fail-on error,warning --tag-display-limit 0 "$deb"

if command -v systemd-analyze >/dev/null; then
  # The unit is checked inside the unpacked package (its programs are
  # there), beside the machine's own units (the targets it refers to).
  cp -an /lib/systemd/system/. "$work/root/usr/lib/systemd/system/"
  # verify exits 0 on a setting it ignores (a misspelt value, an unknown
  # key) and only says so: a clean unit is one it has nothing to say about.
  check "systemd-analyze verifies the unit without a remark" bash -c "
    out=\$(systemd-analyze verify --man=no --root='$work/root' /usr/lib/systemd/system/zelvo-tftpd.service 2>&1)
    status=\$?; echo \"\$out\"; [ \$status -eq 0 ] && [ -z \"\$out\" ]"
fi

echo "$failures failures"
if [ "$failures" -eq 0 ]; then rm -rf "$work"; else echo "work directory kept: $work"; fi
[ "$failures" -eq 0 ]
