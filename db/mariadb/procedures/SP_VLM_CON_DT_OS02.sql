-- params: Ordem_Servico_ID
-- The dates a closing of the order is checked against. The closing compares
-- dates as yyyy/mm/dd texts, so data_emissao and DATA_PERMITIDA come in that
-- form; the two dd/mm/yyyy columns are for its messages. DATA_PERMITIDA is the
-- earliest day the work may have started: the issue day less the tolerance.
-- An unknown order answers no row.
--
-- The issue day is counted as SQLite counts it: a day past the end of its
-- month runs into the next one, and an issue date that is no yyyy/mm/dd day
-- has no DATA_PERMITIDA.
CREATE PROCEDURE SP_VLM_CON_DT_OS02(IN p_Ordem_Servico_ID INT)
  READS SQL DATA
BEGIN
  SELECT SUBSTRING(os.DATA_EMISSAO, 1, 10)                              AS data_emissao,
         os.DIAS_TOLERANCIA                                             AS DIAS,
         CASE
           WHEN SUBSTRING(os.DATA_EMISSAO, 1, 10) REGEXP '^[0-9]{4}[-/][0-9]{2}[-/][0-9]{2}$'
            AND SUBSTRING(os.DATA_EMISSAO, 6, 2) BETWEEN '01' AND '12'
            AND SUBSTRING(os.DATA_EMISSAO, 9, 2) BETWEEN '01' AND '31'
             THEN DATE_FORMAT(CAST(CONCAT(SUBSTRING(os.DATA_EMISSAO, 1, 4), '-',
                                          SUBSTRING(os.DATA_EMISSAO, 6, 2), '-01') AS DATE)
                              + INTERVAL (CAST(SUBSTRING(os.DATA_EMISSAO, 9, 2) AS INT) - 1
                                          - os.DIAS_TOLERANCIA) DAY,
                              '%Y/%m/%d')
         END                                                            AS DATA_PERMITIDA,
         CONCAT(SUBSTRING(os.DATA_EMISSAO, 9, 2), '/', SUBSTRING(os.DATA_EMISSAO, 6, 2), '/',
                SUBSTRING(os.DATA_EMISSAO, 1, 4))                       AS data_emissao_tela,
         DATE_FORMAT(NOW(), '%d/%m/%Y')                                 AS DATA_ATUAL
    FROM ORDEM_SERVICO os
   WHERE os.ORDEM_SERVICO_ID = p_Ordem_Servico_ID;
END
