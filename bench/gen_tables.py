#!/usr/bin/env python3
"""Writes a content table and a code table like the ones maintainers join, from a fixed seed.

Content table: word TAB hint CR LF. Words of 1 to 6 ideographs, the common ones far more often,
about 2% holding a character outside the Basic Multilingual Plane (none when a table is GBK,
which cannot hold them); hints of 2 to 30 characters, pinyin-like ASCII or Chinese; about 3% of
the records repeat an earlier word with another hint.

Code table: word TAB code CR LF, sorted by code. A line takes a content word 80% of the time (so
a word may have several codes or none) and a word that is not in the content table otherwise;
codes hold 1 to 4 letters.

    gen_tables.py --records 500000 --lines 1000000 --content-encoding gbk \
        --code-encoding utf-16le content.txt code.txt
"""

import argparse
import bisect
import itertools
import random

ENCODINGS = ("utf-8", "utf-8-bom", "utf-16le", "gbk")

# The CJK Unified Ideographs that every encoding here holds, GBK included.
FIRST_IDEOGRAPH, LAST_IDEOGRAPH = 0x4E00, 0x9FA5
# Extension B, outside the Basic Multilingual Plane.
FIRST_ASTRAL, LAST_ASTRAL = 0x20000, 0x2A6D6

SYLLABLES = (
    "a ai an ang ao ba bai ban bang bao bei ben bi bian biao bie bin bing bo bu ca cai can cang "
    "ce ceng cha chai chan chang chao che chen cheng chi chong chou chu chuan chuang chui chun ci "
    "cong cu cun cuo da dai dan dang dao de deng di dian diao die ding dong dou du duan dui dun "
    "duo e en er fa fan fang fei fen feng fo fu ga gai gan gang gao ge gei gen geng gong gou gu "
    "gua guai guan guang gui gun guo ha hai han hang hao he hei hen heng hong hou hu hua huai "
    "huan huang hui hun huo ji jia jian jiang jiao jie jin jing jiong jiu ju juan jue jun ka kai "
    "kan kang kao ke ken keng kong kou ku kua kuai kuan kuang kui kun kuo la lai lan lang lao le "
    "lei leng li lian liang liao lie lin ling liu long lou lu luan lun luo lv ma mai man mang mao "
    "mei men meng mi mian miao mie min ming miu mo mou mu na nai nan nang nao ne nei nen neng ni "
    "nian niang niao nie nin ning niu nong nu nuan nuo nv ou pa pai pan pang pao pei pen peng pi "
    "pian piao pie pin ping po pu qi qia qian qiang qiao qie qin qing qiong qiu qu quan que qun "
    "ran rang rao re ren reng ri rong rou ru ruan rui run ruo sa sai san sang sao se sen seng sha "
    "shai shan shang shao she shen sheng shi shou shu shua shuai shuan shuang shui shun shuo si "
    "song sou su suan sui sun suo ta tai tan tang tao te teng ti tian tiao tie ting tong tou tu "
    "tuan tui tun tuo wa wai wan wang wei wen weng wo wu xi xia xian xiang xiao xie xin xing "
    "xiong xiu xu xuan xue xun ya yan yang yao ye yi yin ying yong you yu yuan yue yun za zai zan "
    "zang zao ze zei zen zeng zha zhai zhan zhang zhao zhe zhen zheng zhi zhong zhou zhu zhua "
    "zhuai zhuan zhuang zhui zhun zhuo zi zong zou zu zuan zui zun zuo"
).split()

LETTERS = "abcdefghijklmnopqrstuvwxyz"


class Source:
    """The random choices, all from one seeded generator."""

    def __init__(self, seed, astral):
        self.rng = random.Random(seed)
        self.astral = astral
        count = LAST_IDEOGRAPH - FIRST_IDEOGRAPH + 1
        # Zipf-like: the k-th ideograph of a fixed shuffled order has weight 1 / (k + 20).
        order = list(range(FIRST_IDEOGRAPH, LAST_IDEOGRAPH + 1))
        random.Random(seed + 1).shuffle(order)
        self.ideographs = [chr(c) for c in order]
        self.ideograph_weights = list(itertools.accumulate(1.0 / (k + 20) for k in range(count)))
        self.word_lengths = list(itertools.accumulate((8, 46, 18, 16, 7, 5)))  # 1..6 ideographs
        self.code_lengths = list(itertools.accumulate((3, 12, 30, 55)))  # 1..4 letters

    def _pick(self, cumulative):
        return bisect.bisect(cumulative, self.rng.random() * cumulative[-1])

    def word(self):
        length = 1 + self._pick(self.word_lengths)
        chars = [self.ideographs[self._pick(self.ideograph_weights)] for _ in range(length)]
        if self.astral and self.rng.random() < 0.02:
            chars[self.rng.randrange(length)] = chr(self.rng.randint(FIRST_ASTRAL, LAST_ASTRAL))
        return "".join(chars)

    def hint(self):
        target = self.rng.randint(2, 30)
        if self.rng.random() < 0.5:
            text = ""
            while len(text) < target:
                text += self.rng.choice(SYLLABLES)
            return text[:target]
        return "".join(self.ideographs[self._pick(self.ideograph_weights)] for _ in range(target))

    def code(self):
        length = 1 + self._pick(self.code_lengths)
        return "".join(self.rng.choice(LETTERS) for _ in range(length))


def encode(text, encoding):
    if encoding == "utf-8":
        return text.encode("utf-8")
    if encoding == "utf-8-bom":
        return b"\xef\xbb\xbf" + text.encode("utf-8")
    if encoding == "utf-16le":
        return b"\xff\xfe" + text.encode("utf-16-le")
    return text.encode("gbk")


def generate(records, lines, seed, astral):
    source = Source(seed, astral)
    words = []
    seen = set()
    content = []
    for _ in range(records):
        if words and source.rng.random() < 0.03:
            # A repeated word with a hint of its own; the first record wins.
            content.append((words[source.rng.randrange(len(words))], source.hint()))
            continue
        w = source.word()
        while w in seen:
            w = source.word()
        seen.add(w)
        words.append(w)
        content.append((w, source.hint()))

    code = []
    for _ in range(lines):
        if source.rng.random() < 0.8:
            w = words[source.rng.randrange(len(words))]
        else:
            w = source.word()
            while w in seen:
                w = source.word()
        code.append((source.code(), w))
    code.sort()
    return content, code


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--records", type=int, default=500000, help="content table records")
    parser.add_argument("--lines", type=int, default=1000000, help="code table lines")
    parser.add_argument("--seed", type=int, default=20240601)
    parser.add_argument("--content-encoding", choices=ENCODINGS, default="utf-8")
    parser.add_argument("--code-encoding", choices=ENCODINGS, default="utf-8")
    parser.add_argument("content", help="content table to write")
    parser.add_argument("code", help="code table to write")
    args = parser.parse_args()

    astral = "gbk" not in (args.content_encoding, args.code_encoding)
    content, code = generate(args.records, args.lines, args.seed, astral)
    with open(args.content, "wb") as out:
        out.write(encode("".join(f"{w}\t{h}\r\n" for w, h in content), args.content_encoding))
    with open(args.code, "wb") as out:
        out.write(encode("".join(f"{w}\t{c}\r\n" for c, w in code), args.code_encoding))


if __name__ == "__main__":
    main()
