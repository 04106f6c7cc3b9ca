# The join that a user would write in awk: the first hint of every content word, then one record
# for every code table line whose word has one. Both tables UTF-8 with CR LF line ends.
#   awk -v prefix=P -v suffix=S -f join.awk content.txt code.txt
NR == FNR {
  sub(/\r$/, "")
  tab = index($0, "\t")
  if (tab > 0) {
    word = substr($0, 1, tab - 1)
    if (!(word in hint)) hint[word] = substr($0, tab + 1)
  }
  next
}
{
  sub(/\r$/, "")
  tab = index($0, "\t")
  if (tab == 0) next
  word = substr($0, 1, tab - 1)
  if (word in hint) {
    printf "$kesucmd(%s,%s[%s])\t%s%s%s\r\n", word, word, hint[word], prefix, substr($0, tab + 1), suffix
  }
}
