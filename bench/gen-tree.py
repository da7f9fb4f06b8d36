#!/usr/bin/env python3
"""Makes the benchmark's source tree, and changes it the way a day of work would.

  gen-tree.py make ROOT [--files N] [--folders N]
      A deterministic tree: N files (default 50,000; most of 1-64 KiB, one in a thousand of
      several MiB) in N folders (default 5,000), a few names in Chinese, fixed modification times.
      ROOT must not exist yet.
  gen-tree.py change ROOT LIST
      Rewrites 1 % of the files (new content and a later modification time), deletes 0.5 % and
      adds 0.5 % as many new ones. Writes the relative paths of the rewritten and added files to
      LIST (UTF-8, one a line, "/" between names): what a copy of only the changes has to copy.

The same arguments give the same tree, byte for byte, on every run.
"""
import argparse
import os
import random
import sys

KIB = 1024
MIB = 1024 * KIB
POOL_SIZE = 16 * MIB           # the bytes every file's content is cut from
BASE_TIME = 1_672_531_200      # 2023-01-01 00:00:00 UTC
CHINESE_NAMES = ["报告", "照片", "合同", "备忘录", "项目", "资料", "账单", "笔记"]
EXTENSIONS = [".txt", ".docx", ".xlsx", ".pdf", ".jpg", ".png", ".cpp", ".h", ".dat", ".log"]


def content_pool(seed):
    return random.Random(seed).randbytes(POOL_SIZE)


def write_file(path, size, rng, pool, stamp):
    """Writes `size` bytes: a header naming the file, then a slice of the pool (repeated as needed)."""
    header = (path + "\n").encode("utf-8")[:size]
    with open(path, "wb") as out:
        out.write(header)
        left = size - len(header)
        while left > 0:
            start = rng.randrange(POOL_SIZE - 1)
            piece = pool[start:start + left]
            out.write(piece)
            left -= len(piece)
    os.utime(path, ns=(stamp, stamp))


def file_size(rng):
    if rng.random() < 0.001:
        return rng.randrange(2 * MIB, 9 * MIB)
    # Log-uniform between 1 and 64 KiB: small files are the common case.
    return int(KIB * 64 ** rng.random())


def file_stamp(rng, base=BASE_TIME, span=365 * 86400):
    # Microsecond precision, like files written by ordinary programs.
    return (base + rng.randrange(span)) * 1_000_000_000 + rng.randrange(1_000_000) * 1000


def file_name(rng, index):
    stem = rng.choice(CHINESE_NAMES) if rng.random() < 0.05 else "file"
    return f"{stem}_{index:06d}{rng.choice(EXTENSIONS)}"


def make(root, files, folders):
    if os.path.exists(root):
        sys.exit(f"{root} exists already")
    rng = random.Random(1)
    pool = content_pool(2)
    # Folders: each new one goes under a random earlier one that is not too deep.
    paths = [""]
    depth = {"": 0}
    for i in range(1, folders):
        while True:
            parent = paths[rng.randrange(len(paths))]
            if depth[parent] < 6:
                break
        stem = rng.choice(CHINESE_NAMES) if rng.random() < 0.05 else "dir"
        path = f"{parent}/{stem}_{i:05d}" if parent else f"{stem}_{i:05d}"
        paths.append(path)
        depth[path] = depth[parent] + 1
    for path in paths:
        os.makedirs(os.path.join(root, path), exist_ok=True)
    total = 0
    for i in range(files):
        folder = os.path.join(root, paths[rng.randrange(len(paths))])
        size = file_size(rng)
        write_file(os.path.join(folder, file_name(rng, i)), size, rng, pool, file_stamp(rng))
        total += size
    # Folder times last: writing the files moved them.
    for path in reversed(paths):
        stamp = file_stamp(rng)
        os.utime(os.path.join(root, path), ns=(stamp, stamp))
    print(f"made {files} files ({total / MIB:.0f} MiB) in {folders} folders under {root}")


def all_files(root):
    found = []
    for folder, dirs, names in os.walk(root):
        dirs.sort()
        for name in sorted(names):
            found.append(os.path.relpath(os.path.join(folder, name), root))
    return found


def change(root, list_path):
    rng = random.Random(3)
    pool = content_pool(4)
    files = all_files(root)
    picked = rng.sample(files, len(files) // 100 + len(files) // 200)
    changed = picked[: len(files) // 100]
    deleted = picked[len(changed):]
    folders = sorted({os.path.dirname(f) for f in files})
    # Later than any time the tree was made with, so tools that copy only newer files copy them.
    later = BASE_TIME + 400 * 86400
    for relative in changed:
        path = os.path.join(root, relative)
        write_file(path, file_size(rng), rng, pool, file_stamp(rng, later, 86400))
    for relative in deleted:
        os.remove(os.path.join(root, relative))
    added = []
    for i in range(len(deleted)):
        relative = os.path.join(folders[rng.randrange(len(folders))], f"new_{i:05d}{rng.choice(EXTENSIONS)}")
        write_file(os.path.join(root, relative), file_size(rng), rng, pool, file_stamp(rng, later, 86400))
        added.append(relative)
    with open(list_path, "w", encoding="utf-8") as out:
        for relative in changed + added:
            out.write(relative.replace(os.sep, "/") + "\n")
    print(f"changed {len(changed)}, deleted {len(deleted)}, added {len(added)} files under {root}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    make_parser = commands.add_parser("make")
    make_parser.add_argument("root")
    make_parser.add_argument("--files", type=int, default=50_000)
    make_parser.add_argument("--folders", type=int, default=5_000)
    change_parser = commands.add_parser("change")
    change_parser.add_argument("root")
    change_parser.add_argument("list")
    args = parser.parse_args()
    if args.command == "make":
        make(args.root, args.files, args.folders)
    else:
        change(args.root, args.list)


if __name__ == "__main__":
    main()
