#!/usr/bin/env python3
"""Turns a release folder into what the update server offers.

    tools/make-update.py --version 1.20 --base-url http://update.example/vaultwren/1.20/ \
        RELEASE_FOLDER OUT_FOLDER

OUT_FOLDER then holds the manifest "Updater.ini" (FileCount, FileName/FileSize, FileURL and
FileSHA256 of every file of the release, the version, and optionally CheckDays and a notice page)
and files/<relative path>, a copy of each file. Any plain web server that serves OUT_FOLDER at
--base-url offers the version; installed programs fetch the manifest from their profile's IniURL,
so publish it under that address (--manifest-name adds a copy under another name).

Every manifest is signed: the file named by the environment variable VW_UPDATE_SIGNING_KEY holds
the release's private key (ECDSA P-256, PEM); beside each manifest NAME lies NAME.sig, the base64
text of the signature r||s (big-endian, 32 bytes each) over the SHA-256 of the manifest's bytes.
Installed programs accept a manifest only with a signature that their built-in public key confirms;
--trusted-key names that public key (PEM) and refuses a signing key that does not match it.
Without a signing key nothing is published.
"""
import argparse
import base64
import hashlib
import os
import shutil
import sys
import urllib.parse


def release_files(folder):
    """Relative paths ('/' separated) of every file below folder, in a stable order."""
    found = []
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            full = os.path.join(root, name)
            found.append(os.path.relpath(full, folder).replace(os.sep, "/"))
    return found


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def manifest_text(args, entries):
    lines = ["[UPDATER]", f"Version={args.version}"]
    if args.check_days is not None:
        lines.append(f"CheckDays={args.check_days}")
    lines.append(f"FileCount={len(entries)}")
    lines.append("[UPDATER_NAME]")
    for d, (name, size, _, _) in enumerate(entries, 1):
        lines += [f"FileName{d}={name}", f"FileSize{d}={size}"]
    lines.append("[UPDATER_URL]")
    for d, (_, _, url, sha) in enumerate(entries, 1):
        lines += [f"FileURL{d}={url}", f"FileSHA256{d}={sha}"]
    if args.notice_url:
        lines += ["[UPDATER_MSG]", f"URL={args.notice_url}", f"Timer={args.notice_timer}",
                  f"Type={args.notice_type}"]
    return "\r\n".join(lines) + "\r\n"


def is_update_folder(folder):
    """True when folder is what this script wrote before: its manifest "Updater.ini", the files/ folder,
    and only files beside them (the manifest's other names)."""
    try:
        with open(os.path.join(folder, "Updater.ini"), "rb") as f:
            head = f.read(32)
    except OSError:
        return False
    if not (head.startswith(b"[UPDATER]") or head.startswith(b"\xff\xfe" + "[UPDATER]".encode("utf-16-le"))):
        return False
    for entry in os.scandir(folder):
        if entry.is_symlink() or (entry.is_dir() and entry.name != "files"):
            return False
    return True


def check_out_folder(release, out):
    """Exits with the reason when OUT may not be emptied: it holds the release, lies inside it, or is
    a folder of something else. Deleting a checkout or a release by a wrong argument costs too much."""
    release_real = os.path.realpath(release)
    out_real = os.path.realpath(out)
    inside = lambda child, parent: os.path.commonpath([child, parent]) == parent
    if inside(release_real, out_real):
        sys.exit(f"refusing {out}: the output folder holds the release folder {release}")
    if inside(out_real, release_real):
        sys.exit(f"refusing {out}: the output folder lies inside the release folder {release}")
    if os.path.lexists(out):
        if not os.path.isdir(out) or os.path.islink(out):
            sys.exit(f"refusing {out}: it is not a folder")
        if any(os.scandir(out)) and not is_update_folder(out):
            sys.exit(f"refusing {out}: the folder is not empty and not an earlier update folder")


def load_signing_key(trusted_key):
    """The private key named by VW_UPDATE_SIGNING_KEY; exits when there is none or it is not the one
    the programs trust."""
    path = os.environ.get("VW_UPDATE_SIGNING_KEY")
    if not path:
        sys.exit("VW_UPDATE_SIGNING_KEY must name the file of the release's private key: nothing is published unsigned")
    try:
        from cryptography.hazmat.primitives import serialization
        from cryptography.hazmat.primitives.asymmetric import ec
    except ImportError:
        sys.exit("signing needs the Python package cryptography (Debian: python3-cryptography)")
    try:
        with open(path, "rb") as f:
            key = serialization.load_pem_private_key(f.read(), password=None)
    except (OSError, ValueError, TypeError) as error:
        sys.exit(f"cannot read the signing key {path}: {error}")
    if not isinstance(key, ec.EllipticCurvePrivateKey) or key.curve.name != "secp256r1":
        sys.exit(f"{path} is no ECDSA P-256 private key")
    if trusted_key:
        with open(trusted_key, "rb") as f:
            trusted = serialization.load_pem_public_key(f.read())
        spki = serialization.PublicFormat.SubjectPublicKeyInfo
        der = serialization.Encoding.DER
        if key.public_key().public_bytes(der, spki) != trusted.public_bytes(der, spki):
            sys.exit(f"{path} is not the private half of {trusted_key}: installed programs would refuse the update")
    return key


def signature_text(key, data):
    """Base64 of r||s over the SHA-256 of data."""
    from cryptography.hazmat.primitives import hashes
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.hazmat.primitives.asymmetric.utils import decode_dss_signature
    r, s = decode_dss_signature(key.sign(data, ec.ECDSA(hashes.SHA256())))
    return base64.b64encode(r.to_bytes(32, "big") + s.to_bytes(32, "big")).decode("ascii") + "\n"


def encode(text):
    # The program reads the manifest with the profile-string calls: plain ASCII where it is, otherwise
    # UTF-16 with its byte-order mark, which those calls recognise whatever the system's code page.
    try:
        return text.encode("ascii")
    except UnicodeEncodeError:
        return b"\xff\xfe" + text.encode("utf-16-le")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("release", help="folder with the files of the new version")
    parser.add_argument("out", help="folder to write: a new or empty folder, or an earlier update folder "
                                    "(emptied first)")
    parser.add_argument("--version", required=True, help="the offered version, a decimal number such as 1.20")
    parser.add_argument("--base-url", required=True, help="address under which OUT is served")
    parser.add_argument("--check-days", type=int, help="days an installation waits after finding nothing newer")
    parser.add_argument("--notice-url", help="a notice page to show after a check")
    parser.add_argument("--notice-timer", type=int, default=0, help="seconds the notice stays open (0: until closed)")
    parser.add_argument("--notice-type", type=int, default=0, help="0 or 1 show the notice, other values hide it")
    parser.add_argument("--manifest-name", action="append", default=[],
                        help="also write the manifest under this name (the last part of the installed IniURL)")
    parser.add_argument("--trusted-key", help="the public key (PEM) the programs trust: the signing key must match it")
    args = parser.parse_args()
    signing_key = load_signing_key(args.trusted_key)

    try:
        float(args.version)
    except ValueError:
        sys.exit(f"--version must be a decimal number, not {args.version!r}")
    if not os.path.isdir(args.release):
        sys.exit(f"no release folder {args.release}")
    base = args.base_url if args.base_url.endswith("/") else args.base_url + "/"
    if not base.startswith(("http://", "https://")):
        sys.exit("--base-url must be an http:// or https:// address")

    check_out_folder(args.release, args.out)
    if os.path.exists(args.out):
        shutil.rmtree(args.out)
    os.makedirs(os.path.join(args.out, "files"))
    entries = []
    for relative in release_files(args.release):
        source = os.path.join(args.release, relative)
        target = os.path.join(args.out, "files", relative)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(source, target)
        size = os.path.getsize(source)
        url = base + "files/" + urllib.parse.quote(relative)
        if len(url) > 258 or len(relative) > 258:
            sys.exit(f"{relative}: name or address longer than the program accepts (258 characters)")
        entries.append((relative.replace("/", "\\"), size, url, sha256_of(source)))

    data = encode(manifest_text(args, entries))
    signature = signature_text(signing_key, data)
    for name in ["Updater.ini"] + args.manifest_name:
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
        with open(os.path.join(args.out, name + ".sig"), "w", encoding="ascii", newline="\n") as f:
            f.write(signature)
    print(f"{len(entries)} files of version {args.version} in {args.out}, manifest at {base}Updater.ini (signed)")


if __name__ == "__main__":
    main()
