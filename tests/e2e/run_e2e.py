#!/usr/bin/env python3
"""End-to-end tests: the real quarnel binary in a private X server, driven with the
mouse and keyboard as a user would. Each scenario gets its own folder in the output
directory with a screenshot per step, the program's last state dump and its stderr.

Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb on this machine)."""

import argparse
import os
import shutil
import subprocess
import sys
import traceback

sys.dont_write_bytecode = True  # keeps the source folder clean

import scenarios
import wine
from quarnel import Quarnel
from xsession import Skip, XSession

FIXTURE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixture.reg")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--quarnel", required=True, help="the quarnel binary")
    parser.add_argument("--output", required=True, help="folder for screenshots and logs")
    parser.add_argument("--prefix", help="a fresh Wine prefix; each scenario that needs one "
                        "works on its own copy, with the keys of fixture.reg added")
    parser.add_argument("--genreg", help="the registry generator (quarnel-genreg), for the "
                        "scenarios that need a large registry")
    parser.add_argument("only", nargs="*", help="run only these scenarios")
    args = parser.parse_args()

    chosen = [s for s in scenarios.ALL if not args.only or s.__name__ in args.only]
    base = None
    if args.prefix and os.path.isfile(os.path.join(args.prefix, "system.reg")) and wine.available():
        base = prepare_base_prefix(args.prefix, os.path.abspath(args.output))
    demo = None
    if args.genreg and any(getattr(s, "needs_demo", False) for s in chosen):
        demo = generate_demo_registry(args.genreg, os.path.abspath(args.output))
    failures = 0
    try:
        for scenario in chosen:
            if getattr(scenario, "needs_prefix", False) and not base:
                print(f"{scenario.__name__}: skipped (needs --prefix with a Wine prefix, and Wine)")
                continue
            if getattr(scenario, "needs_demo", False) and not demo:
                print(f"{scenario.__name__}: skipped (needs --genreg)")
                continue
            failures += not run_one(scenario, args, demo if getattr(scenario, "needs_demo", False)
                                    else base)
    except Skip as reason:
        print(f"SKIPPED: {reason}")
        return 77
    print(f"{len(chosen) - failures} of {len(chosen)} scenarios passed")
    return 1 if failures else 0


def prepare_base_prefix(fresh, output):
    """A copy of the fresh prefix with the test keys imported by Wine itself."""
    base = os.path.join(output, "base-prefix")
    shutil.rmtree(base, ignore_errors=True)
    os.makedirs(output, exist_ok=True)
    scratch_copy(fresh, base)
    wine.reg_import(base, FIXTURE)
    return base


def generate_demo_registry(genreg, output):
    """A large generated registry (the run command's demo): a search over it takes long
    enough to be interrupted."""
    demo = os.path.join(output, "demo-registry")
    shutil.rmtree(demo, ignore_errors=True)
    subprocess.run([genreg, "--keys", "30000", "--values-per-key", "3.4", "--seed", "20261207",
                    "--registry-dir", demo], check=True, stdout=subprocess.DEVNULL)
    return demo


def scratch_copy(source, target):
    """A prefix copy that is cheap (drive_c is hundreds of MB): everything hard-linked
    except the files at the top (the .reg files and Wine's tag), which are copied, so
    that changing the copy's registry leaves the source as it was."""
    subprocess.run(["cp", "-al", source + "/.", target], check=True)
    for name in os.listdir(source):
        path = os.path.join(source, name)
        if os.path.isfile(path) and not os.path.islink(path):
            os.remove(os.path.join(target, name))
            shutil.copy2(path, os.path.join(target, name))


def run_one(scenario, args, base):
    name = scenario.__name__
    workdir = os.path.join(os.path.abspath(args.output), name)
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    prefix = None
    wants = any(getattr(scenario, flag, False)
                for flag in ("needs_prefix", "wants_prefix", "needs_demo"))
    if wants and base:
        # A scratch copy: the scenarios change the registry.
        prefix = os.path.join(workdir, "prefix")
        scratch_copy(base, prefix)
    print(f"{name}:")
    # Each scenario gets its own X server: nothing left over from one can disturb the next.
    with XSession(*getattr(scenario, "screen", (1280, 1024))) as session:
        app = Quarnel(session, os.path.abspath(args.quarnel), workdir, prefix=prefix,
                      env=getattr(scenario, "env", None))
        return run_in_session(scenario, app, workdir)


def run_in_session(scenario, app, workdir):
    try:
        scenario(app)
        print("  passed")
        return True
    except Exception:
        traceback.print_exc(file=sys.stdout)
        try:
            if app.process and app.running():
                app.screenshot("failure")
        except Exception:
            pass
        print(f"  FAILED (see {workdir})")
        return False
    finally:
        app.kill()


if __name__ == "__main__":
    sys.exit(main())
