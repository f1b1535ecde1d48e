"""Wine's own view of a prefix: what `wine reg` reads from it, so that the scenarios check
the registry files through Wine rather than through our own reader."""

import os
import shutil
import subprocess


def available():
    return shutil.which("wine") is not None and shutil.which("wineserver") is not None


def _env(prefix):
    # Keep Wine quiet and stop it from offering to install Mono and Gecko.
    return dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
                WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY="")


def _run(prefix, *args):
    result = subprocess.run(["wine", *args], env=_env(prefix), capture_output=True,
                            timeout=300)
    return result.returncode, result.stdout.decode("utf-8", "replace")


def wait_for_server_exit(prefix):
    """Waits until Wine's server for the prefix has saved the registry and ended:
    before that, Quarnel rightly refuses to change the prefix."""
    subprocess.run(["wineserver", "-w"], env=_env(prefix), timeout=300)


def start_server(prefix):
    """A Wine server that stays up (as while a Windows program runs) until stop_server."""
    subprocess.run(["wineserver", "-p"], env=_env(prefix), timeout=120, check=True)


def stop_server(prefix):
    subprocess.run(["wineserver", "-k"], env=_env(prefix), timeout=120)
    wait_for_server_exit(prefix)


def reg_import(prefix, reg_file):
    code, out = _run(prefix, "reg", "import", reg_file)
    wait_for_server_exit(prefix)
    if code != 0:
        raise RuntimeError(f"wine reg import {reg_file} failed: {out}")


def reg_query(prefix, key):
    """Every key below and including `key`, as {key path: {value name: (type, data)}};
    {} when the key does not exist."""
    code, out = _run(prefix, "reg", "query", key, "/s")
    wait_for_server_exit(prefix)
    if code != 0:
        return {}
    tree, current = {}, None
    for line in out.replace("\r", "").split("\n"):
        if not line.strip():
            continue
        if not line.startswith(" "):
            current = tree.setdefault(line.strip(), {})
            continue
        # Value lines are indented; name, type and data are separated by four blanks.
        parts = line.strip().split("    ", 2)
        name, kind = parts[0], parts[1] if len(parts) > 1 else ""
        current[name] = (kind, parts[2] if len(parts) > 2 else "")
    return tree
