-- Lists sorted by name. A unique NOT NULL name orders the rows on its own,
-- so a page of a name-sorted list is read along the name's index and ends
-- with the page; the unique constraints give the ascending index, these the
-- descending one (Firebird walks an index in one direction only). Without
-- them, every page of a descending list sorts the whole table.
CREATE DESCENDING INDEX osk_domains_name_desc ON osk_domains (NAME);
CREATE DESCENDING INDEX osk_domain_groups_name_desc ON osk_domain_groups (NAME);
CREATE DESCENDING INDEX osk_user_accounts_name_desc ON osk_user_accounts (NAME);
CREATE DESCENDING INDEX osk_sql_query_name_desc ON osk_sql_query (NAME);
CREATE DESCENDING INDEX osk_query_groups_name_desc ON osk_query_groups (NAME);
CREATE DESCENDING INDEX osk_snmp_query_name_desc ON osk_snmp_query (NAME);
CREATE DESCENDING INDEX osk_snmp_groups_name_desc ON osk_snmp_groups (NAME);
CREATE DESCENDING INDEX tftp_policy_name_desc ON tftp_policy (NAME);
